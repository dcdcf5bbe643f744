#pragma once
// What the batch needs from the window that owns the queue and the fields,
// and where it reports how it stands. The Qt window, the command line and the
// tests each implement it.

#include <string>

#include "base/MessageBoxes.h"
#include "base/MessagePump.h"
#include "engine/BatchStatus.h"
#include "formats/FormatCatalogue.h"

namespace tessaro {

class BatchHost : public MessageBoxes, public MessagePump {
public:
    // The queue (lstFile, mirrored by the list view LV). Entries are
    // numbered from 0; entry k is LV row k + 1.
    virtual int queueCount() const = 0;
    virtual std::string queueEntry(int index) const = 0;  // "" out of range
    virtual void removeQueueEntry(int index) = 0;         // nothing out of range
    // A file that failed leaves the queue through here, with the reason it
    // failed. A host that keeps failed files in view (to try them again on
    // the next Start) overrides it; for the batch the entry is gone either way.
    virtual void failQueueEntry(int index, const std::string& reason) {
        (void)reason;
        removeQueueEntry(index);
    }

    // The fields, read as they stand at the moment of the call.
    virtual int formatIndex() const = 0;  // list position of cmbOF
    virtual ParameterTexts parameters() const = 0;
    virtual std::string outputFolderText() const = 0;  // txtPath
    virtual void setOutputFolderText(const std::string& text) = 0;

    // Toolbar, Command3, cmbOF, the six parameter fields and lblFeed.
    virtual void setControlsEnabled(bool enabled) = 0;
    // Timer1 (100 ms); its tick calls ConversionDriver::Timer1_Timer().
    virtual void setTimer1Enabled(bool enabled) = 0;

    // How the batch stands, each time it changes: a file started, read,
    // finished or stopped, and once more as the batch ends.
    virtual void showStatus(const BatchStatus& status) = 0;

    // End of the batch.
    virtual void openFolder(const std::string& folder) = 0;
    virtual void playSound(const std::string& wavFile) = 0;
};

}  // namespace tessaro
