#ifndef PROGRAMSUPERVISOR_H
#define PROGRAMSUPERVISOR_H

#include <QByteArray>

#include <optional>

// Which scene program draws. Every program that links takes over, and its
// first frame at the render scale is timed. One too slow to work with gives
// way: the scene is not drawn until the next program comes, which is the
// last good one built again unless a newer build is on its way already; it
// is built once more when the render scale goes down. Plain rules: the
// window builds, draws and times.
class ProgramSupervisor
{
public:
    struct Stages
    {
        QByteArray vertex;
        QByteArray fragment;
        bool isEmpty() const { return fragment.isEmpty(); }
        bool operator==(const Stages &other) const
        {
            return vertex == other.vertex && fragment == other.fragment;
        }
    };

    // A new program whose first frame takes longer than this gives way.
    static constexpr qint64 slowFrameMs = 2000;

    // A build linked and its program takes over.
    void linked(const Stages &stages);
    // A build failed: the program before it goes on. Returns the stages to
    // build when that one is too slow and nothing else is on its way.
    std::optional<Stages> failed(bool anotherBuilding);
    // Whether the next frame drawn is timed: the first of a new program.
    bool timesNextDraw() const { return m_timeNextDraw; }
    // The first frame took this long. Returns the stages to build when the
    // program is too slow and no newer build is on its way (anotherBuilding).
    std::optional<Stages> timed(qint64 firstFrameMs, bool anotherBuilding);
    // While a program too slow gives way, the scene is not drawn.
    bool isGivingWay() const { return m_givingWay; }
    // The render scale went down: the stages of a program that was too
    // slow, to try again; nothing when there is none.
    std::optional<Stages> scaleLowered() const;

    void setSlowFrameMs(qint64 ms) { m_slowFrameMs = ms; }
    int programs() const { return m_programs; }
    int failedBuilds() const { return m_failedBuilds; }
    int slowBuilds() const { return m_slowBuilds; }

private:
    std::optional<Stages> restore();

    // The program that draws, the last whose first frame was quick enough,
    // and the last that was too slow.
    Stages m_candidate;
    Stages m_good;
    Stages m_slow;
    bool m_timeNextDraw = false;
    bool m_givingWay = false;
    bool m_restoreAsked = false;
    qint64 m_slowFrameMs = slowFrameMs;
    int m_programs = 0;
    int m_failedBuilds = 0;
    int m_slowBuilds = 0;
};

#endif // PROGRAMSUPERVISOR_H
