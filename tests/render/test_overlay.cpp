// The clearance overlay: a red line between two points on the cables as drawn,
// after the frame, and nothing else changes.
#include <gtest/gtest.h>

#include "model.h"
#include "render/frame.h"
#include "render/viewer.h"

using namespace qrn;
using namespace qrn::render;
using Kind = RecordingCanvas::Kind;

namespace {

struct Drawn {
    std::vector<RecordingCanvas::Op> ops;
    ViewerState st;
    FrameEnd end;
};

Drawn draw(ViewMode mode, std::optional<ClearanceOverlay> overlay) {
    Dataset ds = test::lineModel();
    ViewParams p = test::openedViewer(mode);
    p.dispScale = 5.0;  // the points follow the drawn cables, not the true positions
    p.timeStep = 2;
    Drawn d;
    RecordingCanvas cv;
    layoutPass(mode, initialClientSize(mode), ds, d.st, p, cv);
    d.st.Clearance = overlay;
    cv.reset();
    d.end = drawFrame(mode, ds, d.st, p, cv);
    d.ops = cv.ops();
    return d;
}

}  // namespace

TEST(ClearanceOverlay, RedLineOnTheDrawnSegmentsAfterTheFrame) {
    const ClearanceOverlay overlay{{0, 3, 0.25}, {1, 7, 1.0}};
    for (const ViewMode mode : {ViewMode::Normal, ViewMode::Real}) {
        const Drawn plain = draw(mode, std::nullopt);
        const Drawn marked = draw(mode, overlay);
        ASSERT_EQ(marked.end, FrameEnd::Complete);
        // The frame itself is drawn exactly as without the overlay.
        ASSERT_EQ(marked.ops.size(), plain.ops.size() + 4);
        for (std::size_t i = 0; i < plain.ops.size(); ++i) {
            EXPECT_EQ(marked.ops[i].kind, plain.ops[i].kind);
            EXPECT_EQ(marked.ops[i].args, plain.ops[i].args);
        }
        const auto& width = marked.ops[plain.ops.size()];
        const auto& line = marked.ops[plain.ops.size() + 1];
        EXPECT_EQ(width.kind, Kind::LineWidth);
        EXPECT_EQ(width.args, std::vector<double>{2.0});
        ASSERT_EQ(line.kind, Kind::Line);
        EXPECT_EQ(line.colour, (Rgb{255, 0, 0}));
        // A quarter of the way from node 3 to node 4 of cable 0; node 8 of cable 1.
        const ViewerState& s = marked.st;
        EXPECT_FLOAT_EQ(line.args[0], 0.75f * s.ScrX(0, 3) + 0.25f * s.ScrX(0, 4));
        EXPECT_FLOAT_EQ(line.args[1], 0.75f * s.ScrY(0, 3) + 0.25f * s.ScrY(0, 4));
        EXPECT_FLOAT_EQ(line.args[2], s.ScrX(1, 8));
        EXPECT_FLOAT_EQ(line.args[3], s.ScrY(1, 8));
        for (int k : {2, 3}) {
            const auto& c = marked.ops[plain.ops.size() + std::size_t(k)];
            EXPECT_EQ(c.kind, Kind::Circle);
            EXPECT_EQ(c.colour, (Rgb{255, 0, 0}));
            EXPECT_EQ(c.args[0], line.args[k == 2 ? 0 : 2]);
        }
    }
}

TEST(ClearanceOverlay, PointsOffTheCablesDrawNothing) {
    // lineModel: three cables of nodes 0..20.
    const SegmentPoint ok{0, 3, 0.5};
    const SegmentPoint bad[] = {{3, 0, 0.0}, {-1, 0, 0.0}, {0, 20, 0.0}, {0, -1, 0.0}, {0, 3, 1.5}};
    for (const SegmentPoint& b : bad) {
        const Drawn d = draw(ViewMode::Normal, ClearanceOverlay{ok, b});
        EXPECT_EQ(d.end, FrameEnd::Complete);
        EXPECT_EQ(d.ops.size(), draw(ViewMode::Normal, std::nullopt).ops.size()) << b.slot;
    }
}
