#ifndef STRIPSCALE_H
#define STRIPSCALE_H

// Which show time each column of the timeline strip stands for: a span of
// show seconds spread over the strip's columns (device pixels) from a start.
// The span lies between the narrowest and the whole of the bounds, and the
// view stays within the bounds; zooming keeps the time under the pointer
// where it is.
class StripScale
{
public:
    // Shows the whole of [first, last] across columns.
    StripScale(double first, double last, double narrowest, int columns);

    int columns() const { return m_columns; }
    double start() const { return m_start; }
    double span() const { return m_span; }
    double end() const { return m_start + m_span; }
    double secondsPerColumn() const { return m_span / m_columns; }

    // The show time at a column's left edge (columns may be fractional),
    // and the column of a show time.
    double timeAt(double column) const { return m_start + column * m_span / m_columns; }
    double columnAt(double time) const { return (time - m_start) * m_columns / m_span; }

    // A new width shows the same span.
    void setColumns(int columns);
    // New bounds; the view keeps its start and span as far as they allow.
    void setBounds(double first, double last);
    // Spans times factor (under 1 zooms in) with the time at column staying there.
    void zoom(double factor, double column);
    void pan(double columns);
    // Brings time into view when it has left it, a tenth of the span from the left.
    void follow(double time);
    bool isWhole() const;

private:
    void show(double start, double span);

    double m_first;
    double m_last;
    double m_narrowest;
    int m_columns;
    double m_start;
    double m_span;
};

#endif // STRIPSCALE_H
