#pragma once

#include "network/Network.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <string>
#include <tuple>
#include <vector>

namespace tessaro::test {

// Sets the process locale for a scope and puts "C" back, also when an assertion fails.
struct CScopedLocale {
    explicit CScopedLocale(const char* name) : Set(std::setlocale(LC_ALL, name) != nullptr) {}
    ~CScopedLocale() { std::setlocale(LC_ALL, "C"); }
    CScopedLocale(const CScopedLocale&) = delete;
    CScopedLocale& operator=(const CScopedLocale&) = delete;
    const bool Set;
};

using NamePair = std::pair<std::string, std::string>;

// Every chain as (name of From, name of To), in chain-list order.
inline std::vector<NamePair> ChainEnds(const CNetwork& network)
{
    std::vector<NamePair> ends;
    for (const auto& chain : network.Chains())
        ends.emplace_back(chain->From()->Name(), chain->To()->Name());
    return ends;
}

inline std::vector<std::string> NodeNames(const CNetwork& network)
{
    std::vector<std::string> names;
    for (const auto& node : network.Nodes())
        names.push_back(node->Name());
    return names;
}

// What every translator does last: the count message and the topology time, every node on the
// circle of radius 100 and every chain a straight line between its ends.
inline void ExpectCountTimeAndCircle(const CNetwork& network, const std::vector<std::string>& messages,
                                     const std::string& count)
{
    EXPECT_THAT(messages, testing::ElementsAre(count, testing::MatchesRegex("The time for adding nodes is: [0-9]+ Millisecond")));
    for (const auto& node : network.Nodes())
        EXPECT_NEAR(std::hypot(node->X(), node->Y()), 100.0, 1e-9) << node->Name();
    for (const auto& chain : network.Chains()) {
        ASSERT_EQ(chain->PointCount(), 2);
        const double* p = chain->Points();
        EXPECT_EQ((std::vector<double>{p[0], p[1], p[2], p[3]}),
                  (std::vector<double>{chain->From()->X(), chain->From()->Y(), chain->To()->X(), chain->To()->Y()}));
    }
}

// Lines that no well-formed file holds, each ended: very long runs of one character, fields and
// quotes in odd numbers, NUL bytes, control and high bytes. Each reader must skip or read them
// without looking outside the line; every line here is at least 20 characters or deliberately
// short.
inline std::string HostileLines()
{
    const std::size_t huge = std::size_t{1} << 20;
    std::string allBytes;
    for (int c = 1; c < 256; ++c)
        if (c != '\n')
            allBytes.push_back(static_cast<char>(c));
    const std::string lines[] = {
        std::string(huge, 'A'), std::string(huge, ','), std::string(huge, '"'), std::string(huge, ' '),
        "\"" + std::string(huge, 'x'), std::string("AU: \0NUL-CUT-AUTHOR", 19),
        std::string("\"x\0\",1,2,3,4,5,6,7,8,9", 22), std::string("JFK\0,LAX,a,b,c,99999999", 23),
        ",,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,", "\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\",",
        "\"unterminated, quote, with, many, commas, 12", "no commas at all in this rather long line", "a,b", "\"",
        "AU: ", "AU:  ", "\r", "     \t\t\t     \t\t\t\t\t\t", "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20",
        "\"A\",99999999999999999999,-99999999999999999999", "\"A\",-2147483648,2147483647", allBytes,
    };
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

} // namespace tessaro::test
