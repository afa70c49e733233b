// Word lists of the sample database: real-looking taxa, authors, places and literature.
#pragma once

namespace zor {
namespace sample {

struct OrderInfo {
    const wchar_t* latin;
    const wchar_t* czech;
    const wchar_t* const* families;
    int familyCount;
    const wchar_t* czechNoun;  // for species' Czech names
    int weight;
};

struct DistrictInfo {
    int region;  // index into kRegions
    const wchar_t* name;
    const wchar_t* abbrev;
    double lat, lon;
    int altitude;
};

struct RegionInfo {
    const wchar_t* name;
    const wchar_t* abbrev;
    const wchar_t* nuts;
};

struct AuthorInfo {
    const wchar_t* name;
    int firstYear, lastYear;
};

struct NamedValue {
    const wchar_t* name;
    const wchar_t* abbrev;
};

struct AreaInfo {
    const wchar_t* name;
    const wchar_t* abbrev;
    double lat, lon;
};

struct PublisherInfo {
    const wchar_t* name;
    const wchar_t* abbrev;
    const wchar_t* place;
};

struct JournalInfo {
    const wchar_t* name;
    const wchar_t* abbrev;
    int publisher;  // index into kPublishers, -1 none
};

extern const OrderInfo kOrders[];
extern const int kOrderCount;
extern const RegionInfo kRegions[];
extern const int kRegionCount;
extern const DistrictInfo kDistricts[];
extern const int kDistrictCount;
extern const AuthorInfo kTaxonAuthors[];
extern const int kTaxonAuthorCount;
extern const wchar_t* const kGenusStems[];
extern const int kGenusStemCount;
extern const wchar_t* const kGenusEndings[];
extern const int kGenusEndingCount;
extern const wchar_t* const kRealGenera[];
extern const int kRealGenusCount;
extern const wchar_t* const kEpithets[];
extern const int kEpithetCount;
extern const wchar_t* const kCzechAdjectives[];
extern const int kCzechAdjectiveCount;
extern const wchar_t* const kVillages[];
extern const int kVillageCount;
extern const wchar_t* const kSites[];
extern const int kSiteCount;
extern const wchar_t* const kSurnames[];
extern const int kSurnameCount;
extern const wchar_t* const kInitials[];
extern const int kInitialCount;
extern const PublisherInfo kPublishers[];
extern const int kPublisherCount;
extern const JournalInfo kJournals[];
extern const int kJournalCount;
extern const wchar_t* const kKeywords[];
extern const int kKeywordCount;
extern const NamedValue kBiotopes[];
extern const int kBiotopeCount;
extern const AreaInfo kProtectedAreas[];
extern const int kProtectedAreaCount;
extern const NamedValue kMethods[];
extern const int kMethodCount;
extern const NamedValue kProtection[];
extern const int kProtectionCount;
extern const NamedValue kLanguages[];
extern const int kLanguageCount;
extern const wchar_t* const kRecordNotes[];
extern const int kRecordNoteCount;
extern const wchar_t* const kLocalityNotes[];
extern const int kLocalityNoteCount;
extern const wchar_t* const kAbstracts[];
extern const int kAbstractCount;

}  // namespace sample
}  // namespace zor
