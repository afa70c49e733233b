/* Czech alphabetical order: see czechorder.h for the rules. Each text is read as a sequence of
 * collation elements (primary letter, marks, case); two texts are compared element by element
 * in one pass, keeping the first difference in marks and in case for when every letter is
 * equal. Characters up to U+017F come from one table built from the strings below; the rest
 * are classified by range. */
#include "czechorder.h"

#include <string.h>

enum {
    P_IGNORE = 0,       /* punctuation, symbols, controls: passed over on levels 1-3 */
    P_SPACE = 1,        /* a run of blanks */
    P_DIGIT = 2,        /* '0' .. '9': 2 .. 11 */
    P_LETTER = 0x20,    /* the Czech alphabet, a = 0x20 ... ž = 0x3E */
    P_OTHER = 0x100     /* anything else: 0x100 + the code point in lower case */
};

/* Positions in the Czech alphabet: a b c č d e f g h ch i j k l m n o p q r ř s š t u v w x y z ž */
enum { L_C = 2, L_CCARON = 3, L_H = 8, L_CH = 9, L_R = 19, L_RCARON = 20, L_S = 21,
       L_SCARON = 22, L_Z = 29, L_ZCARON = 30 };

static const unsigned char kAsciiLetter[26] = {
    0, 1, 2, 4, 5, 6, 7, 8, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 21, 23, 24, 25, 26, 27, 28, 29
};

/* Mark classes (the secondary weight of a letter with one mark). The Czech marks come first,
 * in the standard's order: acute (čárka), caron (háček), ring (kroužek). */
enum { M_NONE, M_ACUTE, M_CARON, M_RING, M_GRAVE, M_CIRCUMFLEX, M_DIAERESIS, M_TILDE,
       M_CEDILLA, M_OGONEK, M_MACRON, M_BREVE, M_DOT, M_DOUBLE_ACUTE, M_STROKE, M_OTHER };

/* U+00C0 .. U+00FF and U+0100 .. U+017F: the base letter of each character ('1' č, '2' ř,
 * '3' š, '4' ž, '*' a symbol, '#' a letter outside the alphabet) and its mark ('0' none,
 * A acute, C caron, R ring, G grave, X circumflex, D diaeresis, T tilde, Z cedilla, O ogonek,
 * M macron, B breve, P dot, W double acute, S stroke, L ligature or other). */
static const char kLatin1Base[] = "aaaaaaaceeeeiiiidnooooo*ouuuuy#s" "aaaaaaaceeeeiiiidnooooo*ouuuuy#y";
static const char kLatin1Mark[] = "GAXTDRLZGAXDGAXDSTGAXTD0SGAXDA0L" "GAXTDRLZGAXDGAXDSTGAXTD0SGAXDA0D";
static const char kLatinABase[] =
    "aaaaaacccccc11dd" "ddeeeeeeeeeegggg" "gggghhhhiiiiiiii" "iiiijjkkklllllll"
    "lllnnnnnnnnnoooo" "oooorrrr22ssssss" "33ttttttuuuuuuuu" "uuuuwwyyyzzzz44s";
static const char kLatinAMark[] =
    "MMBBOOAAXXPP00CC" "SSMMBBPPOOCCXXBB" "PPZZXXSSTTMMBBOO" "PLLLXXZZLAAZZCCP"
    "PSSAAZZCCLLLMMBB" "WWLLAAZZ00AAXXZZ" "00ZZCCSSTTMMBBRR" "WWOOXXXXDAAPP00L";

typedef struct {
    uint32_t p;  /* primary */
    uint16_t s;  /* marks */
    uint8_t t;   /* case: 0 lower, 1 upper; "ch" 0..3 */
} Element;

/* The table entry of a character below U+0180: primary in the low 16 bits, the mark in bits
 * 16-23, upper case in bit 24. */
static uint32_t g_table[0x180];
static volatile int g_tableReady;

static int MarkOf(char code)
{
    static const char codes[] = "0ACRGXDTZOMBPWSL";
    int k;
    for (k = 0; codes[k]; k++)
        if (codes[k] == code)
            return k;
    return M_OTHER;
}

static uint32_t PrimaryOfBase(char base, uint32_t codePoint)
{
    switch (base) {
    case '1': return P_LETTER + L_CCARON;
    case '2': return P_LETTER + L_RCARON;
    case '3': return P_LETTER + L_SCARON;
    case '4': return P_LETTER + L_ZCARON;
    case '*': return P_IGNORE;
    case '#': return P_OTHER + CzFoldCase(codePoint);
    default: return P_LETTER + kAsciiLetter[base - 'a'];
    }
}

static int IsUpperLatinA(uint32_t cp)
{
    if (cp <= 0x137) return (cp & 1) == 0;
    if (cp == 0x138 || cp == 0x149 || cp == 0x17F) return 0;
    if (cp <= 0x148) return (cp & 1) == 1;
    if (cp <= 0x177) return (cp & 1) == 0;
    if (cp == 0x178) return 1;
    return (cp & 1) == 1;  /* 0x179 .. 0x17E */
}

static void BuildTable(void)
{
    uint32_t cp;
    for (cp = 0; cp < 0x180; cp++) {
        uint32_t p = P_IGNORE, mark = M_NONE, upper = 0;
        if (cp >= 'a' && cp <= 'z') {
            p = P_LETTER + kAsciiLetter[cp - 'a'];
        } else if (cp >= 'A' && cp <= 'Z') {
            p = P_LETTER + kAsciiLetter[cp - 'A'];
            upper = 1;
        } else if (cp >= '0' && cp <= '9') {
            p = P_DIGIT + (cp - '0');
        } else if ((cp >= 0x09 && cp <= 0x0D) || cp == 0x20 || cp == 0x85 || cp == 0xA0) {
            p = P_SPACE;
        } else if (cp == 0xAA || cp == 0xBA) {
            p = P_LETTER + kAsciiLetter[(cp == 0xAA ? 'a' : 'o') - 'a'];  /* ª º */
            mark = M_OTHER;
        } else if (cp == 0xB5) {
            p = P_OTHER + cp;  /* micro sign */
        } else if (cp >= 0xC0 && cp < 0x100) {
            p = PrimaryOfBase(kLatin1Base[cp - 0xC0], cp);
            mark = (uint32_t)MarkOf(kLatin1Mark[cp - 0xC0]);
            upper = cp < 0xDF && cp != 0xD7;
        } else if (cp >= 0x100) {
            p = PrimaryOfBase(kLatinABase[cp - 0x100], cp);
            mark = (uint32_t)MarkOf(kLatinAMark[cp - 0x100]);
            upper = (uint32_t)IsUpperLatinA(cp);
        }
        g_table[cp] = p | (mark << 16) | (upper << 24);
    }
    g_tableReady = 1;
}

uint32_t CzFoldCase(uint32_t cp)
{
    if (cp < 0x80)
        return cp >= 'A' && cp <= 'Z' ? cp + 32 : cp;
    if (cp < 0x100)
        return cp >= 0xC0 && cp <= 0xDE && cp != 0xD7 ? cp + 32 : cp;
    if (cp < 0x180) {
        /* İ and ı have no simple lower-case partner in this alphabet: they stay as they are. */
        if (cp == 0x130 || cp == 0x131)
            return cp;
        if (cp == 0x178)
            return 0xFF;
        return IsUpperLatinA(cp) ? cp + 1 : cp;
    }
    if (cp >= 0x391 && cp <= 0x3AB && cp != 0x3A2)
        return cp + 32;  /* Greek */
    if (cp == 0x386) return 0x3AC;
    if (cp >= 0x388 && cp <= 0x38A) return cp + 37;
    if (cp == 0x38C) return 0x3CC;
    if (cp == 0x38E || cp == 0x38F) return cp + 63;
    if (cp >= 0x400 && cp <= 0x40F) return cp + 80;  /* Cyrillic */
    if (cp >= 0x410 && cp <= 0x42F) return cp + 32;
    if (((cp >= 0x460 && cp <= 0x481) || (cp >= 0x48A && cp <= 0x4BF) || (cp >= 0x4D0 && cp <= 0x52F))
        && (cp & 1) == 0)
        return cp + 1;
    if (cp >= 0x4C1 && cp <= 0x4CE && (cp & 1) == 1) return cp + 1;
    if (cp == 0x4C0) return 0x4CF;
    if (cp >= 0x531 && cp <= 0x556) return cp + 48;  /* Armenian */
    if (((cp >= 0x1E00 && cp <= 0x1E95) || (cp >= 0x1EA0 && cp <= 0x1EFF)) && (cp & 1) == 0)
        return cp + 1;  /* Latin Extended Additional */
    if (cp >= 0xFF21 && cp <= 0xFF3A) return cp + 32;  /* full-width Latin */
    return cp;
}

int CzIsDigraphCh(uint32_t first, uint32_t second)
{
    return (first == 'c' || first == 'C') && (second == 'h' || second == 'H');
}

static int IsCombiningMark(uint32_t cp) { return cp >= 0x300 && cp <= 0x36F; }

static int IsSpace(uint32_t cp)
{
    if (cp < 0x80)
        return cp == ' ' || (cp >= 0x09 && cp <= 0x0D);
    if (cp < 0x180)
        return (g_table[cp] & 0xFFFF) == P_SPACE;
    return cp == 0x1680 || (cp >= 0x2000 && cp <= 0x200A) || cp == 0x2028 || cp == 0x2029
           || cp == 0x202F || cp == 0x205F || cp == 0x3000;
}

static int MarkOfCombining(uint32_t cp)
{
    switch (cp) {
    case 0x300: return M_GRAVE;
    case 0x301: return M_ACUTE;
    case 0x302: return M_CIRCUMFLEX;
    case 0x303: return M_TILDE;
    case 0x304: return M_MACRON;
    case 0x306: return M_BREVE;
    case 0x307: return M_DOT;
    case 0x308: return M_DIAERESIS;
    case 0x30A: return M_RING;
    case 0x30B: return M_DOUBLE_ACUTE;
    case 0x30C: return M_CARON;
    case 0x327: return M_CEDILLA;
    case 0x328: return M_OGONEK;
    default: return M_OTHER;
    }
}

/* The element of one character (no context). */
static void Classify(uint32_t cp, Element* e)
{
    if (cp < 0x180) {
        uint32_t entry = g_table[cp];
        e->p = entry & 0xFFFF;
        e->s = (uint16_t)((entry >> 16) & 0xFF);
        e->t = (uint8_t)(entry >> 24);
        return;
    }
    e->s = 0;
    if (IsSpace(cp)) {
        e->p = P_SPACE;
        e->t = 0;
        return;
    }
    if (IsCombiningMark(cp) || (cp >= 0x200B && cp <= 0x2027) || (cp >= 0x202A && cp <= 0x202E)
        || (cp >= 0x2030 && cp <= 0x205E) || (cp >= 0x2060 && cp <= 0x206F) || cp == 0xFEFF) {
        e->p = P_IGNORE;  /* punctuation, format characters, a mark without a letter */
        e->t = 0;
        return;
    }
    {
        uint32_t folded = CzFoldCase(cp);
        e->p = P_OTHER + folded;
        e->t = folded != cp;
    }
}

/* ---- reading code points from UTF-16 or UTF-8, never beyond the end ---- */

typedef struct {
    const uint16_t* u16;
    const unsigned char* u8;
    size_t at;
    size_t end;
} Cursor;

static uint32_t Decode16(Cursor* c)
{
    uint32_t u = c->u16[c->at++];
    if (u >= 0xD800 && u <= 0xDBFF && c->at < c->end) {
        uint32_t low = c->u16[c->at];
        if (low >= 0xDC00 && low <= 0xDFFF) {
            c->at++;
            return 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
        }
    }
    return u;  /* a lone surrogate stands for itself */
}

static uint32_t Decode8(Cursor* c)
{
    const unsigned char* s = c->u8;
    size_t i = c->at;
    uint32_t b0 = s[i];
    size_t need;
    uint32_t cp, lo = 0x80, hi = 0xBF;
    if (b0 < 0x80) {
        c->at = i + 1;
        return b0;
    }
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        need = 1;
        cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        need = 2;
        cp = b0 & 0x0F;
        if (b0 == 0xE0) lo = 0xA0;
        if (b0 == 0xED) hi = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        need = 3;
        cp = b0 & 0x07;
        if (b0 == 0xF0) lo = 0x90;
        if (b0 == 0xF4) hi = 0x8F;
    } else {
        c->at = i + 1;
        return 0xDC00 + b0;  /* a byte that is no UTF-8 stands for itself */
    }
    if (c->end - i - 1 < need || s[i + 1] < lo || s[i + 1] > hi) {
        c->at = i + 1;
        return 0xDC00 + b0;
    }
    {
        size_t k;
        for (k = 1; k <= need; k++) {
            uint32_t b = s[i + k];
            if (k > 1 && (b & 0xC0) != 0x80) {
                c->at = i + 1;
                return 0xDC00 + b0;
            }
            cp = (cp << 6) | (b & 0x3F);
        }
    }
    c->at = i + 1 + need;
    return cp;
}

static uint32_t Decode(Cursor* c) { return c->u16 ? Decode16(c) : Decode8(c); }

/* U+0300 .. U+036F in UTF-8: CC 80 .. CD AF. */
static int IsMarkAt8(const unsigned char* s, size_t n, size_t i)
{
    return i + 1 < n && (s[i] == 0xCC || (s[i] == 0xCD && s[i + 1] <= 0xAF)) && (s[i + 1] & 0xC0) == 0x80;
}

/* A combining mark is next. */
static int MarkFollows(const Cursor* c)
{
    if (c->at >= c->end)
        return 0;
    return c->u16 ? IsCombiningMark(c->u16[c->at]) : IsMarkAt8(c->u8, c->end, c->at);
}

/* The next element that counts on levels 1-3; 0 at the end of the text. */
static int NextElement(Cursor* c, Element* e)
{
    for (;;) {
        uint32_t cp;
        if (c->at >= c->end)
            return 0;
        cp = Decode(c);
        Classify(cp, e);
        if (e->p == P_IGNORE)
            continue;
        if (e->p == P_SPACE) {
            while (c->at < c->end) {
                Cursor save = *c;
                if (!IsSpace(Decode(c))) {
                    *c = save;
                    break;
                }
            }
            return 1;
        }
        if ((cp == 'c' || cp == 'C') && c->at < c->end) {
            uint32_t next = c->u16 ? c->u16[c->at] : c->u8[c->at];
            if (next == 'h' || next == 'H') {
                c->at++;
                e->p = P_LETTER + L_CH;
                e->t = (uint8_t)((cp == 'C' ? 2 : 0) + (next == 'H' ? 1 : 0));
            }
        }
        /* Combining marks belong to the letter: c, r, s, z with a caron are letters of their
         * own, any other mark adds to the element's marks. */
        while (MarkFollows(c)) {
            int mark = MarkOfCombining(Decode(c));
            if (mark == M_CARON && e->s == 0 && (e->p == P_LETTER + L_C || e->p == P_LETTER + L_R
                                                 || e->p == P_LETTER + L_S || e->p == P_LETTER + L_Z))
                e->p += 1;
            else
                e->s = (uint16_t)((e->s << 4) | (uint16_t)mark);
        }
        return 1;
    }
}

static int Sign(uint32_t a, uint32_t b) { return a < b ? -1 : (a > b ? 1 : 0); }

/* Level 4: the code points from the cursors on, folded to lower case for the form without
 * case. */
static int CompareCodePoints(Cursor a, Cursor b, int fold)
{
    while (a.at < a.end && b.at < b.end) {
        uint32_t x = Decode(&a), y = Decode(&b);
        if (fold) {
            x = CzFoldCase(x);
            y = CzFoldCase(y);
        }
        if (x != y)
            return Sign(x, y);
    }
    return a.at < a.end ? 1 : (b.at < b.end ? -1 : 0);
}

static int CompareFrom(Cursor a, Cursor b, int withCase)
{
    Cursor ra = a, rb = b;
    int marks = 0, cases = 0;
    Element x, y;
    for (;;) {
        int hasX = NextElement(&ra, &x);
        int hasY = NextElement(&rb, &y);
        if (!hasX || !hasY) {
            if (hasX) return 1;
            if (hasY) return -1;
            break;
        }
        if (x.p != y.p)
            return Sign(x.p, y.p);
        if (!marks && x.s != y.s)
            marks = Sign(x.s, y.s);
        if (!cases && x.t != y.t)
            cases = Sign(x.t, y.t);
    }
    if (marks)
        return marks;
    if (withCase && cases)
        return cases;
    return CompareCodePoints(a, b, !withCase);
}

/* A common start of both texts can be passed over unless the difference that follows might
 * belong to an element that begins in it: the h of "ch", a combining mark or the second half
 * of a surrogate pair, or more blanks of a run. */
static int Unsafe16(uint32_t unit)
{
    return IsCombiningMark(unit) || (unit >= 0xDC00 && unit <= 0xDFFF);
}

/* Whether the units at i (when there are any) may continue an element that began before it with
 * prev: the h of "ch" after a c, a blank after a blank. */
static int Continues16(const uint16_t* a, size_t na, const uint16_t* b, size_t nb, size_t i, uint32_t prev)
{
    if (prev == 'c' || prev == 'C')
        return (i < na && (a[i] | 0x20) == 'h') || (i < nb && (b[i] | 0x20) == 'h');
    if (prev > ' ' && prev < 0x80)
        return 0;
    return IsSpace(prev) && ((i < na && IsSpace(a[i])) || (i < nb && IsSpace(b[i])));
}

static size_t SafeStart16(const uint16_t* a, size_t na, const uint16_t* b, size_t nb, size_t i)
{
    while (i > 0) {
        uint32_t prev = a[i - 1];
        if (!((prev >= 0xD800 && prev <= 0xDBFF) || (i < na && Unsafe16(a[i])) || (i < nb && Unsafe16(b[i]))
              || Continues16(a, na, b, nb, i, prev)))
            break;
        i--;
    }
    return i;
}

static int IsContinuation(const unsigned char* s, size_t n, size_t i) { return i < n && (s[i] & 0xC0) == 0x80; }

/* As Continues16 for one text; a byte beyond ASCII may begin a blank of its own (no-break space
 * and the like). */
static int Continues8(const unsigned char* s, size_t n, size_t i, uint32_t prev)
{
    if (i >= n)
        return 0;
    if (prev == 'c' || prev == 'C')
        return (s[i] | 0x20) == 'h';
    return IsSpace(prev) && (s[i] >= 0x80 || IsSpace(s[i]));
}

static size_t SafeStart8(const unsigned char* a, size_t na, const unsigned char* b, size_t nb, size_t i)
{
    while (i > 0 && (IsContinuation(a, na, i) || IsContinuation(b, nb, i)))
        i--;
    while (i > 0) {
        size_t start = i - 1;
        Cursor c;
        uint32_t prev;
        while (start > 0 && i - start < 4 && (a[start] & 0xC0) == 0x80)
            start--;
        c.u16 = 0;
        c.u8 = a;
        c.at = start;
        c.end = i;
        prev = Decode8(&c);
        if (c.at != i) {  /* not one character: step back a byte at a time */
            start = i - 1;
            prev = a[start];
        }
        if (!(IsMarkAt8(a, na, i) || IsMarkAt8(b, nb, i) || Continues8(a, na, i, prev)
              || Continues8(b, nb, i, prev)))
            break;
        i = start;
    }
    return i;
}

static void EnsureTable(void)
{
    if (!g_tableReady)
        BuildTable();  /* every thread that races here writes the same values */
}

/* The primary of a character below U+0180 that makes an element of its own whatever follows
 * (no c that may begin "ch", nothing passed over); 0 otherwise. */
static uint32_t PlainPrimary(uint32_t cp)
{
    uint32_t p;
    if (cp >= 0x180 || cp == 'c' || cp == 'C')
        return 0;
    p = g_table[cp] & 0xFFFF;
    return p == P_IGNORE ? 0 : p;
}

/* The length of the common start of two texts, eight bytes at a time where it can. */
static size_t CommonStart(const void* a, const void* b, size_t bytes)
{
    const unsigned char* x = (const unsigned char*)a;
    const unsigned char* y = (const unsigned char*)b;
    size_t i = 0;
    while (i + 8 <= bytes) {
        uint64_t u, v;
        memcpy(&u, x + i, 8);
        memcpy(&v, y + i, 8);
        if (u != v)
            break;
        i += 8;
    }
    while (i < bytes && x[i] == y[i])
        i++;
    return i;
}

static int Compare16(const uint16_t* a, size_t na, const uint16_t* b, size_t nb, int withCase)
{
    size_t m = na < nb ? na : nb, i;
    Cursor ca, cb;
    EnsureTable();
    i = m ? CommonStart(a, b, m * sizeof(uint16_t)) / sizeof(uint16_t) : 0;
    if (i == na && i == nb)
        return 0;
    i = SafeStart16(a, na, b, nb, i);
    if (i < m) {
        /* Most texts differ in the letter where they first differ. */
        uint32_t pa = PlainPrimary(a[i]), pb = PlainPrimary(b[i]);
        if (pa && pb && pa != pb && !(i + 1 < na && Unsafe16(a[i + 1])) && !(i + 1 < nb && Unsafe16(b[i + 1])))
            return Sign(pa, pb);
    }
    ca.u16 = a; ca.u8 = 0; ca.at = i; ca.end = na;
    cb.u16 = b; cb.u8 = 0; cb.at = i; cb.end = nb;
    return CompareFrom(ca, cb, withCase);
}

static int Compare8(const unsigned char* a, size_t na, const unsigned char* b, size_t nb, int withCase)
{
    size_t m = na < nb ? na : nb, i;
    Cursor ca, cb;
    EnsureTable();
    i = m ? CommonStart(a, b, m) : 0;
    if (i == na && i == nb)
        return 0;
    i = SafeStart8(a, na, b, nb, i);
    if (i < m) {
        uint32_t pa = a[i] < 0x80 ? PlainPrimary(a[i]) : 0, pb = b[i] < 0x80 ? PlainPrimary(b[i]) : 0;
        if (pa && pb && pa != pb && !IsMarkAt8(a, na, i + 1) && !IsMarkAt8(b, nb, i + 1))
            return Sign(pa, pb);
    }
    ca.u16 = 0; ca.u8 = a; ca.at = i; ca.end = na;
    cb.u16 = 0; cb.u8 = b; cb.at = i; cb.end = nb;
    return CompareFrom(ca, cb, withCase);
}

int CzCompareUtf16(const uint16_t* a, size_t na, const uint16_t* b, size_t nb)
{
    return Compare16(a, a ? na : 0, b, b ? nb : 0, 1);
}

int CzCompareNoCaseUtf16(const uint16_t* a, size_t na, const uint16_t* b, size_t nb)
{
    return Compare16(a, a ? na : 0, b, b ? nb : 0, 0);
}

int CzCompareUtf8(const unsigned char* a, size_t na, const unsigned char* b, size_t nb)
{
    return Compare8(a, a ? na : 0, b, b ? nb : 0, 1);
}

int CzCompareNoCaseUtf8(const unsigned char* a, size_t na, const unsigned char* b, size_t nb)
{
    return Compare8(a, a ? na : 0, b, b ? nb : 0, 0);
}
