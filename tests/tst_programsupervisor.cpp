// Which scene program the studio draws, step by step as builds come back
// and first frames are timed: a new program takes over and is timed; one too
// slow gives way to the last good one, built again and not timed again; a
// newer build already on its way when one turns out too slow takes over
// instead, timed like any new one, and the good one is not built after it;
// a build that fails while a slow one gives way brings the good one back;
// a lower render scale tries the slow one again.

#include "datarows.h"
#include "programsupervisor.h"

#include <QtTest>

namespace {

ProgramSupervisor::Stages stages(const QString &name)
{
    return {"vertex", name.toLatin1()};
}

} // namespace

class ProgramSupervisorTest : public QObject
{
    Q_OBJECT

private slots:
    void programsTakeOverAndTheSlowGiveWay_data();
    void programsTakeOverAndTheSlowGiveWay();
};

void ProgramSupervisorTest::programsTakeOverAndTheSlowGiveWay_data()
{
    // Steps: "link X" (a build of stages X linked), "fail" (a build failed),
    // "quick" / "slow" (the first frame took 10 ms / 3 s), with "+" when
    // another build is on its way, "lower" (the render scale went down).
    // What each step gives: timed / untimed for a link; the stages to build,
    // or "-" for none; and "held" while the scene is not drawn.
    addRows<QStringList, QStringList>({"steps", "gives"},
            {{"the first program, slow or not, stays",
              {"link A", "slow"}, {"timed", "-"}},
             {"a slow one gives way to the last good one, not timed again",
              {"link A", "quick", "link B", "slow", "link A", "lower"}, {"timed", "-", "timed", "A held", "untimed", "B"}},
             // Before the fix the newer build was taken as the one restored: never timed,
             // and the good one was built after it and put it aside.
             {"a newer build on its way takes over, timed",
              {"link A", "quick", "link B", "slow+", "link C", "quick", "lower"},
              {"timed", "-", "timed", "- held", "timed", "-", "-"}},
             {"a newer build on its way that is slow too",
              {"link A", "quick", "link B", "slow+", "link C", "slow", "link A"},
              {"timed", "-", "timed", "- held", "timed", "A held", "untimed"}},
             {"a newer build on its way that fails brings the good one back",
              {"link A", "quick", "link B", "slow+", "fail", "link A"},
              {"timed", "-", "timed", "- held", "A held", "untimed"}},
             {"a failure while the good one is asked for asks nothing more",
              {"link A", "quick", "link B", "slow", "fail", "link A"},
              {"timed", "-", "timed", "A held", "- held", "untimed"}},
             {"the same text saved as the good one is the good one",
              {"link A", "quick", "link B", "slow+", "link A", "lower"},
              {"timed", "-", "timed", "- held", "untimed", "B"}},
             {"a quick one forgets the slow one",
              {"link A", "quick", "link B", "slow", "link A", "link C", "quick", "lower"},
              {"timed", "-", "timed", "A held", "untimed", "timed", "-", "-"}}});
}

void ProgramSupervisorTest::programsTakeOverAndTheSlowGiveWay()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, gives);
    QCOMPARE(steps.size(), gives.size());
    ProgramSupervisor supervisor;
    for (int i = 0; i < steps.size(); ++i) {
        const QString step = steps[i];
        const bool another = step.endsWith(QLatin1Char('+'));
        QString given;
        std::optional<ProgramSupervisor::Stages> build;
        if (step.startsWith(QLatin1String("link "))) {
            supervisor.linked(stages(step.mid(5)));
            given = supervisor.timesNextDraw() ? QStringLiteral("timed") : QStringLiteral("untimed");
        } else {
            if (step.startsWith(QLatin1String("fail")))
                build = supervisor.failed(another);
            else if (step.startsWith(QLatin1String("quick")))
                build = supervisor.timed(10, another);
            else if (step.startsWith(QLatin1String("slow")))
                build = supervisor.timed(3000, another);
            else
                build = supervisor.scaleLowered();
            given = build ? QString::fromLatin1(build->fragment) : QStringLiteral("-");
            if (supervisor.isGivingWay())
                given += QStringLiteral(" held");
        }
        QVERIFY2(given == gives[i], qPrintable(QStringLiteral("step %1 (%2) gives %3, not %4")
                                               .arg(i + 1).arg(step, given, gives[i])));
    }
}

QTEST_GUILESS_MAIN(ProgramSupervisorTest)
#include "tst_programsupervisor.moc"
