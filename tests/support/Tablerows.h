#pragma once
// A Qt Test table's columns declared, and a row's values fetched, in one line each.
#include <QtTest>
#include <array>
#include <tuple>
#include <utility>

// addColumns<QString, int>({"start", "cell"});
template <class... T>
void addColumns(const std::array<const char *, sizeof...(T)> &names)
{
    [&]<std::size_t... I>(std::index_sequence<I...>) {
        (QTest::addColumn<T>(names[I]), ...);
    }(std::index_sequence_for<T...>());
}

// auto [start, cell] = fetchRow<QString, int>({"start", "cell"}); as QFETCH does for each.
template <class... T>
std::tuple<T...> fetchRow(const std::array<const char *, sizeof...(T)> &names)
{
    return [&]<std::size_t... I>(std::index_sequence<I...>) {
        return std::tuple<T...>{*static_cast<T *>(QTest::qData(names[I], qMetaTypeId<T>()))...};
    }(std::index_sequence_for<T...>());
}
