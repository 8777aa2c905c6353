// Line-level lexical rules of the project file. Every project-file reader reads
// a line, makes an upper-cased keyword view of it, cuts both at the first '#',
// looks for its keywords in the view (substring tests) and takes values from the
// unchanged line with the functions below. Each failure writes a line-numbered
// diagnostic to the log (_AOS_), raises a numbered error through E and returns 0;
// the calling reader decides what to do next.
#ifndef QND_TEXT_KEYWORD_READER_H
#define QND_TEXT_KEYWORD_READER_H

#include "text/my_string.h"

// Deletes everything from the first '#' to the end of the line ('#' starts a
// comment anywhere, also inside a quoted value).
void clearLineAfterPoundSign(my_string& line);

// The keyword view of a line: a copy with its ASCII letters upper-cased.
my_string keyword_view(const my_string& line);

// Position of the first '=' of the line. Without one: error 188, a diagnostic
// naming the key as the caller spelled it, and 0 (callers treat 0 as absent).
[[nodiscard]] int checkForPresenceOfEqualSign(const my_string& line, const char* key, int lineNo);

// value = everything after the first '=' (the whole line without one), blanks
// included. Always returns 1.
int getUnQuotedString(const my_string& line, my_string& value, const char* key, int lineNo);

// value = the text between a pair of double quotes (or, when no double quote
// follows the '=', single quotes) after the first '='. Returns 1 on success;
// 0 with error 190 and a diagnostic when there is no opening or no closing quote
// (value then keeps the text after the opening quote, or is empty).
[[nodiscard]] int getQuotedString(const my_string& line, my_string& value, const char* key,
                                  int lineNo);

// value = the decimal number after the first '=' (leading white space allowed).
// The number must use the whole remaining text and be finite; otherwise error
// 190, a diagnostic and 0. value receives the number read even on failure.
[[nodiscard]] int getValue(const my_string& line, double& value, const char* key, int lineNo);

#endif  // QND_TEXT_KEYWORD_READER_H
