/* Czech alphabetical order (ČSN 97 6030), written once in C so that the same comparison runs
 * inside SQLite (the collation extension built beside the programs) and inside the programs
 * (the data layer's Filter and Find, and every in-memory sort of names).
 *
 * The order, level by level:
 *   1. letters a b c č d e f g h ch i j k l m n o p q r ř s š t u v w x y z ž, where "ch" (also
 *      "Ch", "CH", "cH") is one letter between h and i; a run of blanks counts as one blank,
 *      which comes before the digits, and the digits before the letters; letters of other
 *      scripts follow ž by code point. Punctuation and symbols are passed over on this level
 *      and the next two (O'Brien sorts as Obrien, Frýdek-Místek as FrýdekMístek);
 *   2. marks: á é ě í ó ú ů ý ď ť ň (and foreign marks) differ from their base letter only
 *      here, compared left to right: e < é < ě, u < ú < ů;
 *   3. case: lower case before upper case;
 *   4. the texts' code points, so that only identical texts are equal and the order is total.
 * Combining marks are taken with the letter before them: c + U+030C is č, e + U+0301 is é on
 * the first three levels. Text is read within the given lengths only: an embedded NUL is a
 * character (passed over like punctuation), an unpaired surrogate or a byte that is no UTF-8
 * is a character of its own, and nothing is read beyond the end.
 *
 * Two forms: the full order (for sorting) and the order without case, whose equality is
 * "equal ignoring case only" ("Černý" = "ČERNÝ", but "Černý" differs from "Cerny" and from
 * "Cerný"). */
#ifndef ZORNA_CZECHORDER_H
#define ZORNA_CZECHORDER_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The full order of two UTF-16 texts: negative, 0 (identical) or positive. */
int CzCompareUtf16(const uint16_t* a, size_t lengthA, const uint16_t* b, size_t lengthB);

/* The order without case of two UTF-16 texts; 0 exactly when they are equal ignoring case. */
int CzCompareNoCaseUtf16(const uint16_t* a, size_t lengthA, const uint16_t* b, size_t lengthB);

/* The same two orders of UTF-8 texts (lengths in bytes), as SQLite hands them to a collation. */
int CzCompareUtf8(const unsigned char* a, size_t lengthA, const unsigned char* b, size_t lengthB);
int CzCompareNoCaseUtf8(const unsigned char* a, size_t lengthA, const unsigned char* b, size_t lengthB);

/* The lower-case form of one code point, as the order without case folds it. */
uint32_t CzFoldCase(uint32_t codePoint);

/* True for the first letter of the Czech digraph "ch" followed by its second: c or C, then h
 * or H. */
int CzIsDigraphCh(uint32_t first, uint32_t second);

#ifdef __cplusplus
}
#endif

#endif
