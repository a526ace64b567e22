// A stop asked at any look the readers take: every read of the sample, and the
// dataset file load, ends cancelled with nothing shown and the dataset in
// memory as it was.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "cli/sample.h"
#include "files/datafile.h"
#include "readers/readsequence.h"

using namespace qrn;

namespace {

// Asks to stop from the k-th look at cancelRequested() on; `throws`: as a
// window may, also by throwing Cancelled from progress() (then a look too).
class StopAt final : public Progress {
  public:
    StopAt(int k, bool throws) : k_(k), throws_(throws) {}
    void message(const QString&, const QString&) override { ++messages; }
    void stage(const QString&) override {}
    void progress(double) override {
        if (throws_ && ++looks >= k_) throw Cancelled();
    }
    bool cancelRequested() override { return ++looks >= k_; }
    int looks = 0;
    int messages = 0;

  private:
    int k_;
    bool throws_;
};

}  // namespace

TEST(CancelRead, StopAtEveryLookLeavesTheDatasetAsItWas) {
    QTemporaryDir dir;
    sample::SampleOptions s;
    s.steps = 120;  // a text history of about 3 MB: the parsing threads poll too
    sample::writeSample(dir.path(), s);
    const QDir d(dir.path());
    auto path = [&](const char* name) { return d.filePath(QString::fromUtf8(name)); };

    Dataset previous;
    previous.DirPath = QStringLiteral("C:\\work\\");
    previous.StepMax = 7;
    const QString qrn3 = path("run1.qrn3");
    {
        Dataset full;
        StopAt never(1 << 30, false);
        ReadRequest req;
        req.selectedPath = path("run1.his");
        req.settingsPath = path("st.dat");
        ASSERT_TRUE(ReadAnalysis(full, req, never).completed);
        writeDataFile(full, qrn3, 5);
    }
    struct C {
        int mode;
        const char *input, *settings, *section;
        int minLooks;  // looks a whole read takes at least
    };
    const C cases[] = {
        // Settings, history start, parsing (one look within it), history end,
        // coordinates, section.
        {ReadHis, "run1.his", "st.dat", "tmp/sec.file", 7},
        {ReadProText, "run1.f24", "self.dat", "self.f08", 7},
        {ReadProBinary, "run1.f08", "self.dat", "self.f08", 5},
        {CheckSettings, "st.dat", "st.dat", nullptr, 2},
        {LoadBinary, "run1.qrn3", nullptr, nullptr, 5},
    };
    for (const bool throws : {false, true})
        for (const C& c : cases) {
            int k = 1;
            for (;; ++k) {
                StopAt stop(k, throws);
                Dataset data = previous;
                bool cancelled = false, completed = false;
                if (c.mode == LoadBinary) {
                    LoadRequest req;
                    req.path = path(c.input);
                    const LoadResult r = DataLood(data, req, stop);
                    cancelled = r.cancelled;
                    completed = r.ready;
                    EXPECT_TRUE(r.outcome.notices.empty());
                } else {
                    ReadRequest req;
                    req.mode = c.mode;
                    req.selectedPath = path(c.input);
                    req.settingsPath = path(c.settings);
                    req.sectionChecked = c.section != nullptr;
                    if (c.section) req.sectionPath = path(c.section);
                    const ReadResult r = ReadAnalysis(data, req, stop);
                    cancelled = r.cancelled;
                    completed = r.completed;
                    if (cancelled) {
                        EXPECT_TRUE(r.outcome.notices.empty() && !r.outcome.openViewer);
                    }
                }
                EXPECT_EQ(stop.messages, 0);
                if (completed) break;
                ASSERT_TRUE(cancelled) << c.input << " look " << k << " throws " << throws;
                EXPECT_TRUE(data.sameContent(previous)) << c.input << " look " << k;
            }
            EXPECT_GT(k, c.minLooks) << c.input;  // the k-th look was not taken
        }
}
