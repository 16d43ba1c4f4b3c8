// outline/progress_bar.h
//
// Progress of a build, apply or merge, reported to the caller's window. Each report sends one
// message with the percentage as wParam; the text that goes with it is kept in the run state
// for DIF_BuildGetSection. Progress is nested: each level of the tree walk divides the share of
// one step of the level above among its own steps.
#pragma once

#include <cstdint>

#include "outline/outline_runtime.h"
#include "platform/platform.h"
#include "support/wide_string.h"

// Levels below this one never report: level 1 is the call itself.
constexpr int32_t kFirstReportingLevel = 2;
// Percentage that stands for "the percentage last sent".
constexpr int32_t kLastPercent = -1;

class CProgressBar {
public:
    CProgressBar() = default;
    virtual ~CProgressBar();
    CProgressBar(const CProgressBar&) = delete;
    CProgressBar& operator=(const CProgressBar&) = delete;

    // Where reports go; a window or message of 0 reports nothing.
    void SetTarget(HWND window, UINT message);

    // Prepares levels 2 to levelCount. A levelCount below 2 turns level reporting off; so does
    // a refused allocation (its warning box has been shown).
    void SetLevels(int32_t levelCount);
    // Announces that the current step of the level above is divided into stepCount steps.
    void BeginLevel(int32_t stepCount, int32_t level);
    // Reports that step (from 0) of stepCount at level begins, labelled with text.
    void StepLevel(int32_t level, int32_t step, int32_t stepCount, const WCHAR* text);
    // Sends percent (kLastPercent: the last one again) with text, which may be none. Nothing is
    // sent when neither the percentage nor the text changed.
    void SendProgress(int32_t percent, const WCHAR* text);
    // SendProgress with a status string resource; the empty text when it cannot be loaded.
    void ReportStatus(int32_t percent, UINT statusId);
    // Whether StepLevel reports at level: levels 2 to the last one set, once levels are set.
    bool ReportsLevel(int32_t level) const {
        return firstLevel_ != 0 && level >= firstLevel_ && level <= lastLevel_;
    }
    // The label of a child that a walk is about to descend into: parentLabel, then ":" (when
    // parentLabel is not empty) and the item described by its type name and display text. At
    // the deepest reporting level only units are named; an outline or item of 0 adds nothing.
    CWideString SectionLabel(OutlineHandle outline, ItemHandle item, const CWideString& parentLabel,
                             int32_t level) const;

private:
    HWND window_ = nullptr;
    UINT message_ = 0;
    int32_t firstLevel_ = 0;
    int32_t lastLevel_ = 0;
    // One entry per reporting level (levelCount - 1 of them), all three grown together.
    int32_t* base_ = nullptr;   // percentage at which the level's current step begins
    int32_t* span_ = nullptr;   // share, in percent, that all steps of the level cover
    int32_t* steps_ = nullptr;  // steps announced for the level
};

extern CProgressBar g_progressBar;

// What every build and merge does first: a fresh run (abort flag, out-of-memory mark and both
// section counts cleared, the caller's options kept), progress levels 2 to levels aimed at
// window with message, and "Loading..." sent.
void BeginRun(HWND window, UINT message, uint32_t options, int32_t levels);
// What every build and merge does last: "Aborted." and status with DIF_ST_ABORTED added when
// the abort flag is set, else "Done." and status as it is.
uint16_t EndRun(uint16_t status);
