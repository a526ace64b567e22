// Fuzz target: what a user types. The input is a list of words, one a line,
// given to qrnconv's option parser with every option the reading, view, csv,
// plot and report subcommands take; the values then go where the window's
// boxes send them: the read request, a drawn frame of the sample, the CSV
// selection and its steps, the plot selection, the cable groups, and the
// viewer's form with its corrections. A typed value may be refused with a
// message; it may not crash, hang or reach undefined behaviour.
#include <QCoreApplication>
#include <QStringList>
#include <algorithm>

#include "analysis/groups.h"
#include "analysis/series.h"
#include "cli/cliargs.h"
#include "cli/viewoptions.h"
#include "dataset/error.h"
#include "files/csvexport.h"
#include "harness.h"
#include "viewer/framejob.h"
#include "viewer/playback.h"
#include "viewer/viewform.h"

namespace {

using namespace qrn;

const Dataset& sample() {
    static const Dataset d = [] {
        Dataset p;
        fuzz::MessageLog log;
        fuzz::require(ReadAnalysis(p, fuzz::sampleRequest(ReadHis), log).completed,
                      "the sample analysis in fuzz/support does not read");
        return p;
    }();
    return d;
}

std::vector<cli::OptionSpec> allSpecs() {
    std::vector<cli::OptionSpec> v = cli::readOptionSpecs();
    for (const auto& more : {cli::viewOptionSpecs(), cli::csvOptionSpecs()})
        v.insert(v.end(), more.begin(), more.end());
    for (const char* name : {"elements", "groups", "crf", "size", "bundle-gap"})
        v.push_back({QString::fromLatin1(name), true});
    return v;
}

template <typename F>
void refusedOrDone(F&& f) {
    try {
        f();
    } catch (const cli::UsageError& e) {
        fuzz::require(!e.message().isEmpty(), "a refused option has no message");
    } catch (const QrnError& e) {
        fuzz::require(!e.message().isEmpty(), "a refused value has no message");
    }
}

// Every text box of the viewer gets the words in turn, each change settled as
// the window settles it, then the parameters are read.
void typeIntoViewer(const QStringList& words, render::ViewMode mode) {
    using viewer::ViewControl;
    constexpr ViewControl kBoxes[] = {
        ViewControl::PerspectiveRatio, ViewControl::NearScale, ViewControl::MarkerStep,
        ViewControl::TwistScale,       ViewControl::FirstNode, ViewControl::LastNode,
        ViewControl::LineWidth,        ViewControl::DrawStep,  ViewControl::Wait,
        ViewControl::DispScale};
    viewer::ViewForm form = viewer::ViewForm::initial(mode);
    render::ViewerState state;
    std::size_t k = 0;
    for (const QString& w : words) {
        const ViewControl c = kBoxes[k++ % std::size(kBoxes)];
        form.setText(c, w);
        viewer::settleChange(mode, c, form, state);
    }
    (void)form.params();
    for (const QString& w : words) {
        const int ms = viewer::Playback::waitInterval(w);
        fuzz::require(ms >= 0, "a negative playback interval");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static int argc = 1;
    static char name[] = "fuzz_usertext";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static const std::vector<cli::OptionSpec> specs = allSpecs();

    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QStringList words = text.split(QLatin1Char('\n'));
    typeIntoViewer(words, render::ViewMode::Real);
    typeIntoViewer(words, render::ViewMode::Normal);

    cli::ParsedArgs a;
    try {
        a = cli::parseArgs(words, specs);
    } catch (const cli::UsageError&) {
        return 0;
    }
    Dataset d = sample();
    cli::ReadOptions read;
    refusedOrDone([&] {
        read = cli::readOptionsFrom(a);
        (void)cli::makeReadRequest(QStringLiteral("run1.his"), read);
        (void)csvStepSeconds(read.interval);
    });
    refusedOrDone([&] {
        viewer::FrameOptions f = cli::frameOptionsFrom(a);
        // Large pictures are sound but slow: keep the fuzzer's pace.
        if (f.window) f.window = f.window->boundedTo(QSize(320, 240));
        f.wantPoints = true;
        (void)viewer::renderFrame(d, f);
    });
    refusedOrDone([&] {
        const CsvCliOptions opt = cli::csvOptionsFrom(a);
        const CsvSelection sel =
            csvSelectionFromOptions(d, opt, read.interval, QStringLiteral("out.csv"));
        (void)csvSteps(sel, d, read.interval);
        if (const auto elements = a.value(QStringLiteral("elements"))) {
            if (!analysis::elementsOptionError(*elements).isEmpty()) return;
            const analysis::PlotSelection p =
                analysis::plotSelectionFromOptions(d, opt, elements, read.interval);
            (void)analysis::plotGrid(d, p, read.interval);
        }
    });
    if (const auto groups = a.value(QStringLiteral("groups")))
        refusedOrDone([&] { (void)parseCableGroups(*groups, d); });
    return 0;
}
