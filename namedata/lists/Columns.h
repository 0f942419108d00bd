#pragma once

#include "NameList.h"

#include <array>
#include <string>
#include <vector>

// What the lists made of rows of columns (tab-separated lines, CSV) share:
// blank rows and rows that start with "#" are skipped; a first row that names
// the columns category, index and name (in any order and case) is a header,
// and the columns are then found by name, all others ignored. Without one,
// the columns are those of a dump: category, index, leading byte, name, and
// what follows it up to the dump's width.
namespace NameList::Columns {

using Fields = std::vector<std::string>;

bool isHeader(const Fields &fields);

class Reader {
public:
    // separator names what parts the columns ("tabs", "commas") in messages.
    Reader(std::size_t widest, std::string separator) : m_widest(widest), m_separator(std::move(separator)) {}
    // One row, in order; line is where it starts, counted from 1.
    void take(int line, const Fields &fields);
    Request &request() { return m_request; }

private:
    Request m_request;
    Collector m_collector{m_request};
    std::size_t m_widest;
    std::string m_separator;
    std::array<std::size_t, 3> m_at = {0, 1, 3};  // category, index, name: a dump's places unless a header says
    bool m_header = false;
    bool m_first = true;
};

} // namespace NameList::Columns
