#include "src/print/frm_load_record.h"

#include <chrono>

#include "src/forms/frm_msg.h"
#include "src/print/progress.h"

namespace Palvo::print {

namespace {
constexpr const char* kSearching = "正在查找信息,请稍候...";
constexpr const char* kLoading = "正在装载信息....";
// the busy animation: a block running along a bar
constexpr int kBar = 12;
constexpr std::int64_t kFrameMs = 120;

std::int64_t nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::string bar(int frame) {
    std::string s;
    for (int i = 0; i < kBar; ++i) s += (i == frame % kBar || i == (frame + 1) % kBar) ? "■" : "□";
    return s;
}

WindowLayout makeLayout() {
    WindowLayout w;
    w.name = "frmLoadRecord";
    w.caption = "";
    w.width = 4800;
    w.height = 1500;
    w.controls = {
        ControlDef("Animation1", ControlKind::Label, bar(0)).at(0, 0).sized(4400, 360),
        ControlDef("Label1", ControlKind::Label, kSearching).at(1, 0).sized(4400, 360),
    };
    w.stretchCols = {0};
    return w;
}
}  // namespace

const WindowLayout& frmLoadRecord::layout() const {
    static const WindowLayout layout = makeLayout();
    return layout;
}

void frmLoadRecord::Load() {
    shown_.clear();
    setProgressText("");
    frame_ = 0;
    lastFrame_ = nowMs();
    label("Animation1").Caption(bar(frame_));
    label("Label1").Caption(kSearching);
}

// Label1 takes the progress text as soon as it changes, the animation moves
// on, and the host gets its turn.
void frmLoadRecord::follow() {
    if (!shown()) return;
    const std::string& text = progressText();
    Label& l = label("Label1");
    if (!text.empty() && text != l.Caption()) {
        l.Caption(text);
        shown_.push_back(text);
    }
    const std::int64_t now = nowMs();
    if (now - lastFrame_ >= kFrameMs) {
        lastFrame_ = now;
        label("Animation1").Caption(bar(++frame_));
    }
    frame().DoEvents();
}

void frmLoadRecord::Activate() {
    label("Label1").Caption(kLoading);
    frame().DoEvents();
    std::string result;
    {
        ScopedEventPump pump([this] { follow(); });
        if (job.kind == ExcelJob::Kind::Grid) {
            result = reportGridJob(job, [this] { frame().Close(); });
        } else {
            result = comFlxJob(job);
        }
    }
    if (result.empty()) {
        frame().Close();
        return;
    }
    // after a failed composite job the window stays until its user closes it
    forms::showSubMsg(result, "");
}

void frmLoadRecord::Unload(UnloadMode) {
    label("Animation1").Caption(bar(0));  // the animation stops
    job = ExcelJob{.kind = job.kind};     // forgets the grids and texts
}

frmLoadRecord& frmLoadRecordWindow() {
    thread_local frmLoadRecord window;
    return window;
}

}  // namespace Palvo::print
