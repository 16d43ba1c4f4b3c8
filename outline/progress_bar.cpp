// outline/progress_bar.cpp: nested progress reports to the caller's window.
#include "outline/progress_bar.h"

#include "include/norvex63.h"
#include "outline/item_type_table.h"
#include "outline/outline_texts.h"
#include "resources/string_table.h"
#include "support/checked_memory.h"
#include "support/run_state.h"
#include "support/warning_box.h"

CProgressBar g_progressBar;

namespace {

void ReleaseLevelArray(int32_t*& levelArray) {
    if (levelArray != nullptr) CheckedFree(levelArray);
    levelArray = nullptr;
}

}  // namespace

CProgressBar::~CProgressBar() {
    ReleaseLevelArray(base_);
    ReleaseLevelArray(span_);
    ReleaseLevelArray(steps_);
}

void CProgressBar::SetTarget(HWND window, UINT message) {
    window_ = window;
    message_ = message;
}

void CProgressBar::SetLevels(int32_t levelCount) {
    firstLevel_ = 0;
    lastLevel_ = 0;
    if (levelCount - 1 <= 0) {
        ReleaseLevelArray(base_);
        ReleaseLevelArray(span_);
        ReleaseLevelArray(steps_);
        return;
    }
    uint32_t bytes = static_cast<uint32_t>(levelCount - 1) * sizeof(int32_t);
    // A refused resize leaves that array as it was; reporting stays off until a later call
    // gets all three, so no level reads past a short array.
    int32_t** arrays[] = {&base_, &span_, &steps_};
    bool allResized = true;
    for (int32_t** levelArray : arrays) {
        void* resized = CheckedRealloc(*levelArray, bytes);
        if (resized == nullptr) {
            allResized = false;
        } else {
            *levelArray = static_cast<int32_t*>(resized);
        }
    }
    if (!allResized) return;
    base_[0] = 0;
    span_[0] = 100;
    steps_[0] = 0;
    firstLevel_ = kFirstReportingLevel;
    lastLevel_ = levelCount;
}

void CProgressBar::BeginLevel(int32_t stepCount, int32_t level) {
    if (firstLevel_ == 0 || level < firstLevel_ || level > lastLevel_) return;
    int32_t i = level - firstLevel_;
    if (i >= 1) span_[i] = steps_[i - 1] != 0 ? span_[i - 1] / steps_[i - 1] : 0;
    steps_[i] = stepCount;
}

void CProgressBar::StepLevel(int32_t level, int32_t step, int32_t stepCount, const WCHAR* text) {
    if (firstLevel_ == 0 || level < firstLevel_ || level > lastLevel_) return;
    int32_t i = level - firstLevel_;
    int32_t percent = base_[i];
    if (stepCount > 0) {
        // A 32-bit product (wrapping as the machine word does) and truncating division: deeper
        // levels never quite reach the end of their parent's step, and every run reports the
        // same percentages.
        int32_t product =
            static_cast<int32_t>(static_cast<uint32_t>(span_[i]) * static_cast<uint32_t>(step));
        percent += product / stepCount;
    }
    if (level < lastLevel_) base_[i + 1] = percent;
    SendProgress(percent, text);
}

void CProgressBar::SendProgress(int32_t percent, const WCHAR* text) {
    if (window_ == nullptr || message_ == 0) return;
    if (percent == kLastPercent) percent = g_runState.lastPercent;
    bool send = percent != g_runState.lastPercent ||
                (text != nullptr && lstrcmpW(text, g_runState.lastText) != 0);
    g_runState.lastPercent = percent;
    if (!send) return;
    if (text != nullptr) lstrcpynW(g_runState.lastText, text, kLastTextSize);
    // The caller's procedure runs inside this call and may read the text or ask for an abort.
    SendMessageW(window_, message_, static_cast<WPARAM>(percent), 0);
}

void CProgressBar::ReportStatus(int32_t percent, UINT statusId) {
    WCHAR buffer[kResourceBufferSize];
    SendProgress(percent, LoadResString(buffer, statusId));
}

CWideString CProgressBar::SectionLabel(OutlineHandle outline, ItemHandle item,
                                       const CWideString& parentLabel, int32_t level) const {
    CWideString label(parentLabel);
    if (outline == 0 || item == 0) return label;
    int32_t type = GetItemType(outline, item);
    if (level == lastLevel_ && !g_itemTypeTable.IsUnit(type)) return label;
    if (label.Length() != 0) label += WIDE(":");
    label += DescribeItem(outline, item);
    return label;
}

void BeginRun(HWND window, UINT message, uint32_t options, int32_t levels) {
    g_runState.abortFlag = 0;
    StartMemoryWatch();
    g_runState.options = options;
    g_progressBar.SetLevels(levels);
    g_progressBar.SetTarget(window, message);
    g_runState.firstSectionCount = 0;
    g_runState.secondSectionCount = 0;
    g_progressBar.ReportStatus(0, kStringLoading);
}

uint16_t EndRun(uint16_t status) {
    if (g_runState.abortFlag != 0) {
        g_progressBar.ReportStatus(100, kStringAborted);
        return static_cast<uint16_t>(status | DIF_ST_ABORTED);
    }
    g_progressBar.ReportStatus(100, kStringDone);
    return status;
}
