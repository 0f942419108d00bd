#pragma once

// The value of a hex digit, in either case, or -1 for any other character:
// for <$XX> in names, HH= in character tables, \xHH in PO and the bytes
// column of lists.
constexpr int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}
