// The benchmark's own arithmetic and plumbing: figures lines, latency summary, the targets,
// the simulator's port line, and the poll probe on a short real run.

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <cmath>

#include "support/QtAppEnvironment.h"
#include "tools/bench/BenchReport.h"
#include "tools/bench/PollProbe.h"
#include "tools/bench/ProgramHarness.h"
#include "tools/bench/Runs.h"
#include "tools/bench/SimulatorProcess.h"

namespace vb = velor::bench;

namespace {

vb::RunFigures figures(double seconds, double cpu, double peak, double polls) {
    vb::RunFigures f;
    f.seconds = seconds;
    f.cpuSeconds = cpu;
    f.peakRssKiB = peak;
    f.polls = polls;
    f.pollInterval = 100;
    return f;
}

}  // namespace

TEST(BenchReport, FiguresLineRoundTripsAndRejectsDamage) {
    vb::RunFigures f = figures(20.5, 0.25, 51200, 204);
    f.latencyP95Ms = 93.5;
    const auto back = vb::parseFigures(vb::formatFigures(f) + "\n");
    ASSERT_TRUE(back);
    EXPECT_DOUBLE_EQ(back->seconds, 20.5);
    EXPECT_DOUBLE_EQ(back->polls, 204);
    EXPECT_DOUBLE_EQ(back->latencyP95Ms, 93.5);

    for (const char* bad : {"", "seconds=1", "figures seconds", "figures seconds=x",
                            "figures cpu=1e999", "figures cpu=nan", "figures cpu=1.5s"}) {
        EXPECT_FALSE(vb::parseFigures(bad)) << bad;
    }
    EXPECT_TRUE(vb::parseFigures("figures later_key=3 cpu=1"));
}

TEST(BenchReport, LatencySummary) {
    EXPECT_EQ(vb::summarizeLatencies({}).max, 0);
    std::vector<double> samples;
    for (int i = 100; i >= 1; --i) samples.push_back(i);
    const auto s = vb::summarizeLatencies(samples);
    EXPECT_DOUBLE_EQ(s.mean, 50.5);
    EXPECT_DOUBLE_EQ(s.p95, 95);
    EXPECT_DOUBLE_EQ(s.max, 100);
    EXPECT_DOUBLE_EQ(vb::summarizeLatencies({7}).p95, 7);
}

TEST(BenchReport, TargetsAtTheirEdges) {
    const vb::RunFigures floor = figures(20, 0.2, 40000, 0);
    struct Case {
        const char* name;
        vb::RunFigures program;
        bool cpu, memory, rate;
    };
    const Case cases[] = {
        {"all within", figures(20, 0.3, 60000, 196), true, true, true},
        {"cpu just over", figures(20, 0.31, 40000, 200), false, true, true},
        {"memory just over", figures(20, 0.2, 60001, 200), true, false, true},
        {"rate just under 98 %", figures(20, 0.2, 40000, 195), true, true, false},
        {"different window lengths compare per second", figures(40, 0.6, 40000, 400), true, true,
         true},
    };
    for (const Case& c : cases) {
        const vb::Verdict v = vb::judge(c.program, floor);
        EXPECT_EQ(v.cpuOk, c.cpu) << c.name;
        EXPECT_EQ(v.memoryOk, c.memory) << c.name;
        EXPECT_EQ(v.rateOk, c.rate) << c.name;
    }
    // A floor that measured nothing, or a run without an interval, is never a pass.
    EXPECT_FALSE(vb::judge(figures(20, 0.1, 1, 200), figures(20, 0, 0, 0)).cpuOk);
    EXPECT_FALSE(vb::judge(figures(20, 0.1, 1, 200), figures(20, 0, 0, 0)).memoryOk);
    vb::RunFigures noInterval = figures(20, 0, 0, 200);
    noInterval.pollInterval = 0;
    EXPECT_FALSE(vb::judge(noInterval, floor).rateOk);
    EXPECT_NE(vb::formatTable(figures(20, 0.4, 40000, 100), floor).find("MISSED"),
              std::string::npos);
}

TEST(BenchReport, SimulatorPortLine) {
    EXPECT_EQ(vb::listeningPort("listening tcp 127.0.0.1:40123\n"), 40123);
    EXPECT_EQ(vb::listeningPort("listening tcp [::1]:5"), 5);
    for (const char* other : {"listening pty /dev/pts/3", "listening tcp 127.0.0.1:0",
                              "listening tcp 127.0.0.1:70000", "listening tcp 127.0.0.1"}) {
        EXPECT_EQ(vb::listeningPort(other), 0) << other;
    }
}

// A short real run: the probe counts decoded polls and measures a reply-to-window time that
// cannot exceed one main interval plus a few transfer ticks.
TEST(BenchProbe, CountsDecodedPollsAgainstTheSimulator) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    {
        vb::SimulatorProcess sim(VELOR_MODSIM_PATH, {"--module", "0:KALU"});
        ASSERT_NE(sim.port(), 0) << sim.failure().toStdString();
        vb::writeLoopbackComConfig();
        vb::ProgramHarness harness(sim.port());
        vb::PollProbe probe(harness);
        vb::startPolling(harness, 100);
        harness.mainWindow().openUnit(velor::RequestKind::Kalu);
        vb::runEventsFor(2.0);
        harness.mainWindow().Timer1->stop();
        vb::runEventsFor(0.3);

        EXPECT_GE(probe.polls(), 8);
        EXPECT_EQ(probe.failures(), 0);
        ASSERT_FALSE(probe.latenciesMs().empty());
        for (double ms : probe.latenciesMs()) {
            EXPECT_GT(ms, 0);
            EXPECT_LT(ms, 100 + 60);
        }
    }
    QDir::setCurrent(previous);
}
