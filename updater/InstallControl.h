#pragma once

#include <functional>

namespace norvale::updater {

// The steps of an install into a versioned installation, in their order.
// Each is reported to the hook right after it happened.
enum class InstallStep {
    StagingMade,           // an empty hidden staging folder exists beside the releases
    FileOpened,            // one file's copy exists in it, still empty
    FileCopied,            // its bytes are written
    FileSynced,            // they are on disk
    FileDone,              // the file is closed with its mode
    StagingSynced,         // the staging folder's entries are on disk
    ReleaseReplaced,       // an unfinished folder of the same release was removed
    StagingRenamed,        // the staging folder carries the release's name
    FolderSynced,          // the new release folder is on disk
    PreviousLinkMade,      // a new "previous" link exists under a temporary name
    PreviousLinkSwitched,  // "previous" names the release that ran until now
    CurrentLinkMade,       // a new "current" link exists under a temporary name
    CurrentLinkSwitched,   // "current" names the new release: the switch
    SwitchSynced,          // the switch is on disk
    OldReleaseRemoved,     // a release older than the previous one is gone
};

// How the caller watches and steers an install. Null members do nothing.
struct InstallControl {
    // Told of every step; false stops the install there as if the step had
    // failed (before the switch the installation is then left as it was;
    // after it, only the tidying is cut short).
    std::function<bool(InstallStep)> hook;
    // Asked before each file is copied: true ends the install as cancelled.
    std::function<bool()> cancelled;
    // Asked once every file is in place, just before the switch: false means
    // a cancel came first (the install ends as cancelled); true means the
    // switch goes ahead and can no longer be cancelled.
    std::function<bool()> claimSwitch;

    bool Step(InstallStep step) const { return !hook || hook(step); }
    bool Cancelled() const { return cancelled && cancelled(); }
    bool ClaimSwitch() const { return !claimSwitch || claimSwitch(); }
};

}  // namespace norvale::updater
