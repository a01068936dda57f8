// The front end of the saving pass: the events of the pass (a source
// started, each entry saved with its report, the bars, a source done with
// its totals, the pass done with the totals of all) and what the pass asks:
// the preview's current file, for an existing output folder the
// overwrite prompt, the password of encrypted entries, and how many threads
// may decode. The desktop adapter turns the events into the File Saving
// dialog's labels and bars and the completion; the command line into its
// output; the tests record them.
#pragma once

#include "engine/zip_archive.h"
#include "workflow/pass_events.h"

class SaveHost : public PassEvents {
public:
    // The preview's current file (1-based), for Save Current File.
    virtual int CurrentFileNumber() = 0;
    // Runs the overwrite prompt; it sets g_overwriteChoice.
    virtual void AskOverwrite() = 0;
    // One entry of the current source was extracted, or not.
    virtual void EntrySaved(const ExtractReport& report) = 0;
    // A stop ends the pass: what was saved before it.
    virtual void PassStopped(const PassTotals& /*soFar*/) {}
    // The threads that decode and write entries; 0: one per core. Entries
    // are shown in their order once written, so with more than one thread
    // some may be on disk ahead of the one shown.
    virtual unsigned DecodingThreads() { return 0; }
    // The source holds encrypted entries and the run's password does not
    // fit them: asks for one (`again` after one that did not fit). False
    // leaves those entries unsaved; `forAll` keeps the answer for the
    // sources after this one. A host that cannot ask leaves them unsaved.
    // The last AskPassword that gave none was the user's Skip (not a
    // password that did not fit, nor a host that cannot ask).
    virtual bool PasswordSkipped() const { return false; }
    virtual bool AskPassword(const std::wstring& /*archive*/, bool /*again*/, Password& /*answer*/,
                             bool& /*forAll*/) {
        return false;
    }
};
