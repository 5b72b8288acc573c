#include "stripscale.h"

#include <algorithm>

StripScale::StripScale(double first, double last, double narrowest, int columns)
    : m_first(first)
    , m_last(std::max(last, first + narrowest))
    , m_narrowest(narrowest)
    , m_columns(std::max(1, columns))
    , m_start(first)
    , m_span(m_last - m_first)
{
}

void StripScale::setColumns(int columns)
{
    m_columns = std::max(1, columns);
}

void StripScale::setBounds(double first, double last)
{
    const bool whole = isWhole();
    m_first = first;
    m_last = std::max(last, first + m_narrowest);
    if (whole)
        show(m_first, m_last - m_first);
    else
        show(m_start, m_span);
}

void StripScale::show(double start, double span)
{
    m_span = std::clamp(span, m_narrowest, m_last - m_first);
    m_start = std::clamp(start, m_first, m_last - m_span);
}

void StripScale::zoom(double factor, double column)
{
    const double anchor = timeAt(column);
    const double span = std::clamp(m_span * factor, m_narrowest, m_last - m_first);
    show(anchor - column * span / m_columns, span);
}

void StripScale::pan(double columns)
{
    show(m_start + columns * m_span / m_columns, m_span);
}

void StripScale::follow(double time)
{
    if (time < m_start || time > end())
        show(time - m_span / 10.0, m_span);
}

bool StripScale::isWhole() const
{
    return m_span >= m_last - m_first;
}
