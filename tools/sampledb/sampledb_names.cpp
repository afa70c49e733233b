#include "tools/sampledb/sampledb_names.h"

namespace zor {
namespace sample {

#define COUNT_OF(a) (int)(sizeof(a) / sizeof((a)[0]))

static const wchar_t* const kColeoptera[] = {
    L"Carabidae", L"Cerambycidae", L"Staphylinidae", L"Curculionidae", L"Chrysomelidae",
    L"Scarabaeidae", L"Elateridae", L"Buprestidae", L"Coccinellidae", L"Tenebrionidae",
    L"Dytiscidae", L"Silphidae", L"Lucanidae", L"Cantharidae"};
static const wchar_t* const kLepidoptera[] = {
    L"Papilionidae", L"Pieridae", L"Nymphalidae", L"Lycaenidae", L"Noctuidae", L"Geometridae",
    L"Sphingidae", L"Erebidae", L"Hesperiidae", L"Zygaenidae"};
static const wchar_t* const kHymenoptera[] = {
    L"Apidae", L"Formicidae", L"Vespidae", L"Sphecidae", L"Chrysididae", L"Megachilidae",
    L"Andrenidae"};
static const wchar_t* const kOdonata[] = {
    L"Aeshnidae", L"Libellulidae", L"Coenagrionidae", L"Gomphidae", L"Corduliidae", L"Lestidae"};
static const wchar_t* const kOrthoptera[] = {
    L"Acrididae", L"Tettigoniidae", L"Gryllidae", L"Tetrigidae"};
static const wchar_t* const kHeteroptera[] = {
    L"Pentatomidae", L"Miridae", L"Lygaeidae", L"Coreidae", L"Reduviidae", L"Nabidae"};
static const wchar_t* const kNeuroptera[] = {
    L"Chrysopidae", L"Hemerobiidae", L"Myrmeleontidae", L"Ascalaphidae"};
static const wchar_t* const kDiptera[] = {
    L"Syrphidae", L"Tabanidae", L"Asilidae", L"Bombyliidae", L"Tipulidae", L"Stratiomyidae"};

const OrderInfo kOrders[] = {
    {L"Coleoptera", L"brouci", kColeoptera, COUNT_OF(kColeoptera), L"brouk", 40},
    {L"Lepidoptera", L"motýli", kLepidoptera, COUNT_OF(kLepidoptera), L"motýl", 20},
    {L"Hymenoptera", L"blanokřídlí", kHymenoptera, COUNT_OF(kHymenoptera), L"blanokřídlec", 12},
    {L"Heteroptera", L"ploštice", kHeteroptera, COUNT_OF(kHeteroptera), L"ploštice", 8},
    {L"Odonata", L"vážky", kOdonata, COUNT_OF(kOdonata), L"šídlo", 6},
    {L"Orthoptera", L"rovnokřídlí", kOrthoptera, COUNT_OF(kOrthoptera), L"saranče", 5},
    {L"Diptera", L"dvoukřídlí", kDiptera, COUNT_OF(kDiptera), L"moucha", 6},
    {L"Neuroptera", L"síťokřídlí", kNeuroptera, COUNT_OF(kNeuroptera), L"zlatoočka", 3},
};
const int kOrderCount = COUNT_OF(kOrders);

const RegionInfo kRegions[] = {
    {L"Hlavní město Praha", L"PHA", L"CZ010"},  {L"Středočeský kraj", L"STC", L"CZ020"},
    {L"Jihočeský kraj", L"JHC", L"CZ031"},      {L"Plzeňský kraj", L"PLK", L"CZ032"},
    {L"Karlovarský kraj", L"KVK", L"CZ041"},    {L"Ústecký kraj", L"ULK", L"CZ042"},
    {L"Liberecký kraj", L"LBK", L"CZ051"},      {L"Královéhradecký kraj", L"HKK", L"CZ052"},
    {L"Pardubický kraj", L"PAK", L"CZ053"},     {L"Kraj Vysočina", L"VYS", L"CZ063"},
    {L"Jihomoravský kraj", L"JHM", L"CZ064"},   {L"Olomoucký kraj", L"OLK", L"CZ071"},
    {L"Zlínský kraj", L"ZLK", L"CZ072"},        {L"Moravskoslezský kraj", L"MSK", L"CZ080"},
};
const int kRegionCount = COUNT_OF(kRegions);

const DistrictInfo kDistricts[] = {
    {0, L"Praha", L"PHA", 50.08, 14.43, 250},
    {1, L"Benešov", L"BN", 49.78, 14.69, 360},
    {1, L"Beroun", L"BE", 49.96, 14.07, 230},
    {1, L"Kladno", L"KL", 50.15, 14.10, 380},
    {1, L"Kolín", L"KO", 50.03, 15.20, 220},
    {1, L"Kutná Hora", L"KH", 49.95, 15.27, 250},
    {1, L"Mělník", L"ME", 50.35, 14.47, 215},
    {1, L"Mladá Boleslav", L"MB", 50.41, 14.90, 235},
    {1, L"Nymburk", L"NB", 50.19, 15.04, 190},
    {1, L"Praha-východ", L"PY", 50.05, 14.65, 280},
    {1, L"Praha-západ", L"PZ", 49.95, 14.35, 300},
    {1, L"Příbram", L"PB", 49.69, 14.01, 500},
    {1, L"Rakovník", L"RA", 50.10, 13.73, 330},
    {2, L"České Budějovice", L"CB", 48.97, 14.47, 390},
    {2, L"Český Krumlov", L"CK", 48.81, 14.32, 500},
    {2, L"Jindřichův Hradec", L"JH", 49.14, 15.00, 480},
    {2, L"Písek", L"PI", 49.31, 14.15, 370},
    {2, L"Prachatice", L"PT", 49.01, 14.00, 560},
    {2, L"Strakonice", L"ST", 49.26, 13.90, 400},
    {2, L"Tábor", L"TA", 49.41, 14.68, 440},
    {3, L"Domažlice", L"DO", 49.44, 12.93, 430},
    {3, L"Klatovy", L"KT", 49.39, 13.30, 410},
    {3, L"Plzeň-město", L"PM", 49.74, 13.38, 310},
    {3, L"Plzeň-jih", L"PJ", 49.60, 13.40, 400},
    {3, L"Plzeň-sever", L"PS", 49.88, 13.30, 400},
    {3, L"Rokycany", L"RO", 49.74, 13.59, 360},
    {3, L"Tachov", L"TC", 49.80, 12.64, 500},
    {4, L"Cheb", L"CH", 50.08, 12.37, 460},
    {4, L"Karlovy Vary", L"KV", 50.23, 12.87, 450},
    {4, L"Sokolov", L"SO", 50.18, 12.64, 420},
    {5, L"Děčín", L"DC", 50.78, 14.21, 300},
    {5, L"Chomutov", L"CV", 50.46, 13.42, 340},
    {5, L"Litoměřice", L"LT", 50.53, 14.13, 200},
    {5, L"Louny", L"LN", 50.36, 13.80, 200},
    {5, L"Most", L"MO", 50.50, 13.64, 250},
    {5, L"Teplice", L"TP", 50.64, 13.82, 230},
    {5, L"Ústí nad Labem", L"UL", 50.66, 14.03, 220},
    {6, L"Česká Lípa", L"CL", 50.69, 14.54, 260},
    {6, L"Jablonec nad Nisou", L"JN", 50.72, 15.17, 500},
    {6, L"Liberec", L"LB", 50.77, 15.06, 400},
    {6, L"Semily", L"SM", 50.60, 15.33, 350},
    {7, L"Hradec Králové", L"HK", 50.21, 15.83, 240},
    {7, L"Jičín", L"JC", 50.44, 15.35, 280},
    {7, L"Náchod", L"NA", 50.42, 16.16, 350},
    {7, L"Rychnov nad Kněžnou", L"RK", 50.16, 16.27, 400},
    {7, L"Trutnov", L"TU", 50.56, 15.91, 420},
    {8, L"Chrudim", L"CR", 49.95, 15.80, 270},
    {8, L"Pardubice", L"PU", 50.04, 15.78, 220},
    {8, L"Svitavy", L"SY", 49.76, 16.47, 450},
    {8, L"Ústí nad Orlicí", L"UO", 49.97, 16.39, 340},
    {9, L"Havlíčkův Brod", L"HB", 49.61, 15.58, 420},
    {9, L"Jihlava", L"JI", 49.40, 15.59, 520},
    {9, L"Pelhřimov", L"PE", 49.43, 15.22, 500},
    {9, L"Třebíč", L"TR", 49.21, 15.88, 410},
    {9, L"Žďár nad Sázavou", L"ZR", 49.56, 15.94, 570},
    {10, L"Blansko", L"BK", 49.36, 16.64, 280},
    {10, L"Brno-město", L"BM", 49.19, 16.61, 230},
    {10, L"Brno-venkov", L"BO", 49.10, 16.45, 300},
    {10, L"Břeclav", L"BV", 48.76, 16.88, 160},
    {10, L"Hodonín", L"HO", 48.85, 17.13, 170},
    {10, L"Vyškov", L"VY", 49.28, 17.00, 250},
    {10, L"Znojmo", L"ZN", 48.86, 16.05, 290},
    {11, L"Jeseník", L"JE", 50.23, 17.20, 430},
    {11, L"Olomouc", L"OL", 49.59, 17.25, 220},
    {11, L"Prostějov", L"PV", 49.47, 17.11, 230},
    {11, L"Přerov", L"PR", 49.46, 17.45, 210},
    {11, L"Šumperk", L"SU", 49.97, 16.97, 320},
    {12, L"Kroměříž", L"KM", 49.30, 17.39, 200},
    {12, L"Uherské Hradiště", L"UH", 49.07, 17.46, 180},
    {12, L"Vsetín", L"VS", 49.34, 17.99, 350},
    {12, L"Zlín", L"ZL", 49.23, 17.67, 230},
    {13, L"Bruntál", L"BR", 49.99, 17.46, 550},
    {13, L"Frýdek-Místek", L"FM", 49.68, 18.35, 300},
    {13, L"Karviná", L"KI", 49.85, 18.54, 230},
    {13, L"Nový Jičín", L"NJ", 49.59, 18.01, 290},
    {13, L"Opava", L"OP", 49.94, 17.90, 260},
    {13, L"Ostrava-město", L"OV", 49.84, 18.29, 220},
};
const int kDistrictCount = COUNT_OF(kDistricts);

const AuthorInfo kTaxonAuthors[] = {
    {L"Linnaeus", 1758, 1767},    {L"Fabricius", 1775, 1801},  {L"Müller", 1764, 1776},
    {L"Schaller", 1783, 1783},    {L"Panzer", 1789, 1809},     {L"Herbst", 1783, 1806},
    {L"Dejean", 1821, 1836},      {L"Erichson", 1837, 1848},   {L"Reitter", 1870, 1920},
    {L"Ganglbauer", 1886, 1904},  {L"Sturm", 1815, 1847},      {L"Duftschmid", 1805, 1825},
    {L"Fairmaire", 1849, 1898},   {L"d'Orbigny", 1896, 1916},  {L"O'Brien", 1968, 2004},
    {L"Obenberger", 1913, 1950},  {L"Roubal", 1910, 1940},     {L"Mařan", 1935, 1958},
    {L"Jedlička", 1940, 1965},    {L"Fleischer", 1891, 1930},  {L"Hlisnikovský", 1950, 1970},
    {L"Schönherr", 1817, 1847},   {L"Germar", 1813, 1845},     {L"Gyllenhal", 1808, 1827},
    {L"Thomson", 1857, 1885},     {L"Denis & Schiffermüller", 1775, 1775},
    {L"Hübner", 1790, 1826},      {L"Esper", 1777, 1805},      {L"Zeller", 1839, 1877},
    {L"Charpentier", 1825, 1840}, {L"Selys", 1840, 1887},      {L"Vander Linden", 1820, 1825},
    {L"Latreille", 1796, 1829},   {L"Kirby", 1802, 1837},      {L"Motschulsky", 1839, 1870},
    {L"Heyden", 1870, 1905},      {L"Weise", 1875, 1920},      {L"Šťastný", 1985, 2015},
    {L"Čížek", 1990, 2012},       {L"Řezníček", 1978, 2009},   {L"Žďárský", 1996, 2018},
};
const int kTaxonAuthorCount = COUNT_OF(kTaxonAuthors);

const wchar_t* const kGenusStems[] = {
    L"Amar", L"Bemb", L"Calos", L"Dyschir", L"Elaph", L"Harpal", L"Lept", L"Noti", L"Ophon",
    L"Pteros", L"Trech", L"Zabr", L"Agon", L"Chlaen", L"Lebi", L"Licin", L"Panag", L"Stenol",
    L"Acup", L"Callid", L"Clyt", L"Leptur", L"Necyd", L"Plagion", L"Rhag", L"Strangal", L"Anopl",
    L"Cryptoceph", L"Galeruc", L"Longit", L"Phyllotr", L"Timarch", L"Otiorhynch", L"Phyllob",
    L"Siton", L"Larin", L"Cetoni", L"Trich", L"Melolonth", L"Anthax", L"Agril", L"Chrysob",
    L"Athous", L"Ampedi", L"Cardioph", L"Coccinell", L"Adali", L"Hippodam", L"Zygaen",
    L"Melitae", L"Polyomm", L"Cupid", L"Erebi", L"Coenonymph", L"Bomb", L"Andren", L"Osmi",
    L"Lasiogloss", L"Aeschn", L"Somatochlor", L"Sympetr", L"Stenobothr", L"Chorthipp",
    L"Metriopter", L"Dolycor", L"Pentatom", L"Eurygast", L"Chrysop", L"Myrmeleon", L"Volucell",
    L"Eristal", L"Tabanet",
};
const int kGenusStemCount = COUNT_OF(kGenusStems);

const wchar_t* const kGenusEndings[] = {
    L"us", L"ia", L"a", L"um", L"ella", L"odes", L"ites", L"ula", L"ops", L"ina", L"idius",
    L"oma", L"ocera", L"ius", L"ellus", L"ium",
};
const int kGenusEndingCount = COUNT_OF(kGenusEndings);

const wchar_t* const kRealGenera[] = {
    L"Carabus", L"Cicindela", L"Pterostichus", L"Bembidion", L"Harpalus", L"Amara",
    L"Calosoma", L"Leistus", L"Nebria", L"Notiophilus", L"Cychrus", L"Abax", L"Molops",
    L"Rosalia", L"Cerambyx", L"Prionus", L"Leptura", L"Stenurella", L"Clytus", L"Lucanus",
    L"Dorcus", L"Oryctes", L"Cetonia", L"Protaetia", L"Osmoderma", L"Chrysolina",
    L"Cryptocephalus", L"Otiorhynchus", L"Coccinella", L"Silpha", L"Nicrophorus", L"Dytiscus",
    L"Papilio", L"Iphiclides", L"Parnassius", L"Pieris", L"Colias", L"Apatura", L"Limenitis",
    L"Nymphalis", L"Argynnis", L"Maculinea", L"Lycaena", L"Polyommatus", L"Zygaena",
    L"Bombus", L"Xylocopa", L"Formica", L"Vespa", L"Aeshna", L"Cordulegaster", L"Libellula",
    L"Sympetrum", L"Calopteryx", L"Oedipoda", L"Stethophyma", L"Gryllus", L"Saga",
    L"Graphosoma", L"Palomena", L"Myrmeleon", L"Libelloides", L"Volucella", L"Tabanus",
};
const int kRealGenusCount = COUNT_OF(kRealGenera);

const wchar_t* const kEpithets[] = {
    L"coriaceus", L"violaceus", L"auratus", L"nitens", L"granulatus", L"cancellatus",
    L"hortensis", L"nemoralis", L"bohemicus", L"moravicus", L"sudeticus", L"alpinus",
    L"montanus", L"rufipes", L"nigrita", L"campestris", L"sylvatica", L"hybrida", L"germanica",
    L"arenaria", L"maculatus", L"quadrimaculatus", L"sexpunctata", L"septempunctata",
    L"bipunctata", L"melanocephalus", L"niger", L"aeneus", L"cupreus", L"viridis", L"caeruleus",
    L"rubens", L"flavipes", L"pallidus", L"obscurus", L"lividus", L"fuscus", L"brunneus",
    L"ater", L"albipes", L"longicornis", L"brevicornis", L"punctatus", L"striatus",
    L"rugosus", L"glaber", L"villosus", L"pilosus", L"hirtus", L"elongatus", L"latus",
    L"parvulus", L"minutus", L"major", L"minor", L"gigas", L"vulgaris", L"communis",
    L"rarus", L"fennicus", L"austriacus", L"carpathicus", L"hungaricus", L"silesiacus",
    L"palustris", L"aquaticus", L"arvensis", L"pratensis", L"sabulosus", L"saxatilis",
    L"ulmi", L"quercus", L"fagi", L"betulae", L"salicis", L"populi", L"pini", L"abietis",
    L"tiliae", L"rosae", L"urticae", L"tanaceti", L"menthae", L"graminis", L"lineatus",
    L"fasciatus", L"marginatus", L"limbatus", L"cinctus", L"ornatus", L"pictus", L"variegatus",
    L"versicolor", L"tristis", L"lugubris", L"festivus", L"splendens", L"fulgidus", L"nobilis",
    L"regalis", L"imperialis", L"scabriusculus", L"excellens", L"intricatus", L"irregularis",
    L"convexus", L"depressus", L"planus", L"globosus", L"ovalis", L"cordatus", L"dentatus",
    L"serratus", L"spinosus", L"cornutus", L"bicolor", L"tricolor", L"unicolor", L"discolor",
    L"nigricornis", L"ruficornis", L"flavicornis", L"rufipennis", L"nigripennis", L"vernalis",
    L"aestivalis", L"autumnalis", L"hiemalis", L"nocturnus", L"diurnus", L"solaris", L"lunatus",
    L"stellatus", L"sericeus", L"velutinus", L"tomentosus", L"squamosus", L"cribratus",
    L"reticulatus", L"sulcatus", L"costatus", L"carinatus", L"angustatus", L"dilatatus",
    L"inflatus", L"gracilis", L"robustus", L"validus", L"debilis", L"agilis", L"velox",
    L"tardus", L"fossor", L"cursor", L"saltator", L"natator", L"venator", L"praedator",
    L"meridionalis", L"septentrionalis", L"orientalis", L"occidentalis", L"borealis",
};
const int kEpithetCount = COUNT_OF(kEpithets);

const wchar_t* const kCzechAdjectives[] = {
    L"kožitý", L"zlatý", L"horský", L"lesní", L"luční", L"žlutonohý", L"měděný", L"šedý",
    L"černý", L"skvrnitý", L"hnědý", L"tmavý", L"ozdobný", L"pestrý", L"vzácný", L"severní",
    L"jižní", L"bažinný", L"písečný", L"stepní", L"zahradní", L"polní", L"dubový", L"bukový",
    L"vrbový", L"borový", L"rudonohý", L"zelený", L"modrý", L"lesklý", L"drsný", L"chlupatý",
    L"štíhlý", L"zavalitý", L"čárkovaný", L"tečkovaný", L"páskovaný", L"ušlechtilý",
    L"říční", L"rašelinný", L"skalní", L"žíhaný", L"čtyřskvrnný", L"šestitečný",
};
const int kCzechAdjectiveCount = COUNT_OF(kCzechAdjectives);

const wchar_t* const kVillages[] = {
    L"Lhota", L"Újezd", L"Dubí", L"Bukovec", L"Habří", L"Zálesí", L"Vrbice", L"Chlum",
    L"Kamenice", L"Lipová", L"Borovany", L"Želiv", L"Řečice", L"Štěpánov", L"Žďárec",
    L"Čermná", L"Příkosice", L"Šťáhlavy", L"Třebovice", L"Hradiště", L"Černá Hora",
    L"Řevnice", L"Šumice", L"Žabovřesky", L"Čistá", L"Ústí", L"Olešná", L"Březová",
    L"Jedlová", L"Smrčná", L"Doubrava", L"Hájek", L"Kostelec", L"Mlýnice", L"Podhradí",
    L"Předhradí", L"Rovensko", L"Skalice", L"Studánka", L"Tisová", L"Veselí", L"Záhoří",
    L"Babice", L"Bohuslavice", L"Dolní Lhota", L"Horní Lhota", L"Velká Ves", L"Malá Skála",
    L"Nová Ves", L"Stará Huť", L"Kunčice", L"Libědice", L"Mšeno", L"Nečtiny", L"Ořechov",
    L"Pačejov", L"Radvanice", L"Sedlec", L"Těšany", L"Úhřetice", L"Vlčnov", L"Zbraslav",
    L"Žerotín", L"Čeřovka", L"Ždánice", L"Šakvice", L"Řeporyje", L"Číhošť", L"Škvorec",
    L"Žehuň", L"Jílové", L"Kněžice", L"Lužany", L"Medlov", L"Nedvědice", L"Osek",
    L"Pasohlávky", L"Rožná", L"Slavkov", L"Trhová Kamenice", L"Úsobí", L"Věžnice",
};
const int kVillageCount = COUNT_OF(kVillages);

const wchar_t* const kSites[] = {
    L"rybník Velký", L"lom", L"pískovna", L"údolí potoka", L"okraj lesa", L"louka pod hájovnou",
    L"PR Na Skále", L"mokřad u nádrže", L"železniční násep", L"vinice", L"zřícenina hradu",
    L"stráň nad řekou", L"bukový les", L"rašeliniště", L"lužní les", L"step na vrchu",
    L"obora", L"zahrada", L"hráz rybníka", L"suťový les", L"pastvina", L"meze u cesty",
    L"olšina", L"vřesoviště", L"skalní výchoz", L"břeh řeky", L"alej", L"starý sad",
};
const int kSiteCount = COUNT_OF(kSites);

const wchar_t* const kSurnames[] = {
    L"Novák", L"Dvořák", L"Černý", L"Procházka", L"Kučera", L"Veselý", L"Horák", L"Němec",
    L"Marek", L"Pokorný", L"Růžička", L"Král", L"Zeman", L"Šťastný", L"Řezníček", L"Žák",
    L"Čížek", L"Beneš", L"Fiala", L"Sedláček", L"Doležal", L"Zelenka", L"Kolář", L"Navrátil",
    L"Čermák", L"Urban", L"Vaněk", L"Blažek", L"Kříž", L"Kovář", L"Bartoš", L"Vlček",
    L"Polák", L"Musil", L"Šimek", L"Konečný", L"Malý", L"Holub", L"Štěpánek", L"Kadlec",
    L"Ševčík", L"Říha", L"Žižka", L"Čapek", L"Šafránek", L"Ježek", L"Hrubý", L"Mareš",
    L"O'Brien", L"d'Orbigny", L"Müller", L"Schneider", L"Wagner", L"Kowalski", L"Nowak",
    L"Horváth", L"Smith", L"Lindqvist", L"Fischer", L"Bauer",
};
const int kSurnameCount = COUNT_OF(kSurnames);

const wchar_t* const kInitials[] = {
    L"A.", L"B.", L"Č.", L"D.", L"E.", L"F.", L"H.", L"I.", L"J.", L"K.", L"L.", L"M.",
    L"O.", L"P.", L"R.", L"Ř.", L"S.", L"Š.", L"T.", L"V.", L"Z.", L"Ž.",
};
const int kInitialCount = COUNT_OF(kInitials);

const PublisherInfo kPublishers[] = {
    {L"Academia", L"Academia", L"Praha"},
    {L"Národní muzeum", L"NM", L"Praha"},
    {L"Moravské zemské muzeum", L"MZM", L"Brno"},
    {L"Muzeum Vysočiny Jihlava", L"MVJ", L"Jihlava"},
    {L"Česká společnost entomologická", L"ČSE", L"Praha"},
    {L"Agentura ochrany přírody a krajiny ČR", L"AOPK ČR", L"Praha"},
    {L"Jihočeské muzeum v Českých Budějovicích", L"JčM", L"České Budějovice"},
    {L"Slezské zemské muzeum", L"SZM", L"Opava"},
    {L"Univerzita Palackého v Olomouci", L"UP", L"Olomouc"},
    {L"Nakladatelství Šumava & Řezník", L"ŠaŘ", L"Vimperk"},
    {L"Ostravské muzeum", L"OM", L"Ostrava"},
    {L"Verlag Goecke & Evers", L"G&E", L"Keltern"},
};
const int kPublisherCount = COUNT_OF(kPublishers);

const JournalInfo kJournals[] = {
    {L"Zprávy České společnosti entomologické", L"Zpr. Čes. Spol. Entomol.", 4},
    {L"Acta Faunistica Bohemica", L"Acta Faun. Bohem.", 1},
    {L"Sborník přírodovědného klubu v Uherském Hradišti", L"Sbor. Přírod. Klubu Uh. Hrad.", -1},
    {L"Časopis Slezského zemského muzea, série A", L"Čas. Slez. Muz. A", 7},
    {L"Příroda a krajina Vysočiny", L"Přír. Kraj. Vysoč.", 3},
    {L"Fauna Bohemiae Septentrionalis", L"Fauna Bohem. Sept.", -1},
    {L"Ochrana přírody", L"Ochr. Přír.", 5},
    {L"Entomologické problémy", L"Entomol. Probl.", -1},
    {L"Bulletin of Central European Faunistics", L"Bull. Centr. Eur. Faun.", 11},
    {L"Sborník Jihočeského muzea, přírodní vědy", L"Sbor. Jihočes. Muz. Přír. Vědy", 6},
    {L"Acta Musei Silesiae, Scientiae naturales", L"Acta Mus. Siles. Sci. Nat.", 7},
    {L"Práce a studie muzea Beskyd", L"Práce Stud. Muz. Besk.", 10},
};
const int kJournalCount = COUNT_OF(kJournals);

const wchar_t* const kKeywords[] = {
    L"faunistika", L"Coleoptera", L"Carabidae", L"Lepidoptera", L"rozšíření", L"nové nálezy",
    L"červený seznam", L"ochrana přírody", L"mokřady", L"lesní ekosystémy", L"bioindikace",
    L"monitoring", L"zemní pasti", L"světelný lapač", L"xerotermní stanoviště", L"Šumava",
    L"Podyjí", L"Krkonoše", L"Českomoravská vrchovina", L"invazní druhy", L"taxonomie",
    L"zoogeografie", L"sukcese", L"těžebny", L"rašeliniště", L"luční společenstva",
    L"Žďárské vrchy", L"Čechy", L"Morava", L"Slezsko", L"Řípská tabule", L"Odonata",
};
const int kKeywordCount = COUNT_OF(kKeywords);

const NamedValue kBiotopes[] = {
    {L"listnatý les", L"LL"}, {L"jehličnatý les", L"JL"}, {L"smíšený les", L"SL"},
    {L"louka", L"LO"},        {L"pastvina", L"PA"},       {L"mokřad", L"MO"},
    {L"rašeliniště", L"RA"},  {L"step", L"ST"},           {L"skalní step", L"SS"},
    {L"břeh rybníka", L"BR"}, {L"pískovna", L"PI"},       {L"lom", L"LM"},
    {L"zahrada", L"ZA"},      {L"pole", L"PO"},           {L"intravilán", L"IN"},
    {L"lužní les", L"LU"},
};
const int kBiotopeCount = COUNT_OF(kBiotopes);

const AreaInfo kProtectedAreas[] = {
    {L"CHKO Křivoklátsko", L"KŘI", 50.03, 13.85},  {L"NP Šumava", L"NPŠ", 48.95, 13.60},
    {L"NP Podyjí", L"NPP", 48.83, 15.95},          {L"CHKO Pálava", L"PÁL", 48.82, 16.65},
    {L"CHKO Třeboňsko", L"TŘE", 49.00, 14.78},     {L"CHKO Beskydy", L"BES", 49.45, 18.35},
    {L"CHKO Jizerské hory", L"JIZ", 50.82, 15.20}, {L"CHKO Český ráj", L"ČRÁ", 50.55, 15.20},
    {L"NP České Švýcarsko", L"NPČ", 50.88, 14.35}, {L"CHKO Moravský kras", L"MKR", 49.37, 16.72},
    {L"CHKO Bílé Karpaty", L"BKA", 48.98, 17.80},  {L"KRNAP Krkonoše", L"KRN", 50.70, 15.65},
    {L"CHKO Žďárské vrchy", L"ŽVR", 49.68, 15.95}, {L"CHKO Český kras", L"ČKR", 49.93, 14.15},
    {L"CHKO Jeseníky", L"JES", 50.08, 17.20},      {L"CHKO Slavkovský les", L"SLA", 50.05, 12.72},
};
const int kProtectedAreaCount = COUNT_OF(kProtectedAreas);

const NamedValue kMethods[] = {
    {L"individuální sběr", L"IS"}, {L"smýkání", L"SM"},      {L"sklepávání", L"SK"},
    {L"zemní past", L"ZP"},        {L"světelný lapač", L"SL"}, {L"prosev", L"PR"},
    {L"Malaiseho past", L"MP"},    {L"pozorování", L"PO"},   {L"odchyt do vody", L"OV"},
};
const int kMethodCount = COUNT_OF(kMethods);

const NamedValue kProtection[] = {
    {L"kriticky ohrožený", L"KO"}, {L"silně ohrožený", L"SO"}, {L"ohrožený", L"O"},
    {L"téměř ohrožený", L"NT"},
};
const int kProtectionCount = COUNT_OF(kProtection);

const NamedValue kLanguages[] = {
    {L"čeština", L"cz"}, {L"slovenština", L"sk"}, {L"angličtina", L"en"}, {L"němčina", L"de"},
};
const int kLanguageCount = COUNT_OF(kLanguages);

const wchar_t* const kRecordNotes[] = {
    L"pod kůrou padlého buku", L"na světlo", L"v trouchu dutého dubu",
    L"na květu mrkvovité rostliny", L"larvy", L"mrtvý exemplář", L"pozorováno více jedinců",
    L"čerstvě vylíhlý", L"na okraji rybníka", L"O'Brien leg. et det.", L"pod kamenem",
    L"v náplavu po povodni", L"na kmeni topolu", L"smýkáno z vrbin", L"vzorek č. 12/B",
    L"ve zbytcích sena", L"na houbě (Fomes fomentarius)", L"kopulující pár",
};
const int kRecordNoteCount = COUNT_OF(kRecordNotes);

const wchar_t* const kLocalityNotes[] = {
    L"Přístup po lesní cestě od hájovny.", L"Lokalita zarůstá náletem.",
    L"Po roce 2010 odvodněno.", L"Pravidelně koseno koncem června.",
    L"Součást maloplošného chráněného území.", L"Vstup jen se svolením správy.",
};
const int kLocalityNoteCount = COUNT_OF(kLocalityNotes);

const wchar_t* const kAbstracts[] = {
    L"Práce shrnuje výsledky faunistického průzkumu z let 1995–2004. Celkem bylo zjištěno "
    L"212 druhů, z nichž 14 je uvedeno v Červeném seznamu. Nejvýznamnější je nález druhu "
    L"vázaného na staré duby.",
    L"Autoři uvádějí nové nálezy vzácných druhů z Čech a Moravy, doplněné o poznámky k "
    L"bionomii a ohrožení. Většina dokladů je uložena ve sbírce Národního muzea.",
    L"The paper presents faunistic records from the Czech Republic, with notes on habitat "
    L"requirements and the conservation status of the species recorded.",
    L"Příspěvek hodnotí vliv sukcese na společenstva bezobratlých v opuštěných těžebnách. "
    L"Řídká vegetace a obnažený substrát hostí řadu ohrožených druhů.",
    L"Die Arbeit enthält neue Fundorte seltener Arten aus Böhmen und Mähren sowie Angaben zur "
    L"Lebensweise.",
};
const int kAbstractCount = COUNT_OF(kAbstracts);

}  // namespace sample
}  // namespace zor
