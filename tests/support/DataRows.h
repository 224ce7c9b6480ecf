#pragma once

// A data table's columns declared, and a row's values taken, in one statement each. The columns
// are named by position; the test names the values where it takes the row apart, and a type that
// does not match its column stops the test program at once.

#include <QTest>

#include <array>
#include <tuple>

namespace DataRowsDetail {
inline constexpr std::array<const char*, 10> kNames = {"0", "1", "2", "3", "4",
                                                       "5", "6", "7", "8", "9"};
}

template <typename... T> void dataColumns()
{
    static_assert(sizeof...(T) <= DataRowsDetail::kNames.size());
    std::size_t i = 0;
    (QTest::addColumn<T>(DataRowsDetail::kNames[i++]), ...);
}

template <typename... T> std::tuple<T...> dataRow()
{
    std::size_t i = 0; // a braced list is evaluated left to right
    return std::tuple<T...>{
        *static_cast<T*>(QTest::qData(DataRowsDetail::kNames[i++], qMetaTypeId<T>()))...};
}
