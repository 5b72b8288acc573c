#ifndef DATAROWS_H
#define DATAROWS_H

#include <QTest>

#include <initializer_list>
#include <tuple>

// The columns and rows of a test's data function, each row under its own
// name, as a table:
//     addRows<float, float>({"showTime", "fade"}, {{"cut at 5", 5.0f, 0.0f},
//                                                  {"shot 3", 12.5f, 1.0f}});
template <class... T>
void addRows(std::initializer_list<const char *> columns, std::initializer_list<std::tuple<const char *, T...>> rows)
{
    auto column = columns.begin();
    (QTest::addColumn<T>(*column++), ...);
    for (const auto &row : rows)
        std::apply([](const char *name, const T &...values) { (QTest::newRow(name) << ... << values); }, row);
}

#endif // DATAROWS_H
