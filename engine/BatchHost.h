#pragma once
// What the batch needs from the window that owns the queue, the fields and
// the progress display. The Qt window, the command line and the tests each
// implement it.

#include <string>

#include "base/MessageBoxes.h"
#include "base/MessagePump.h"
#include "formats/FormatCatalogue.h"

namespace tessaro {

class BatchHost : public MessageBoxes, public MessagePump {
public:
    // The queue (lstFile, mirrored by the list view LV). Entries are
    // numbered from 0; entry k is LV row k + 1.
    virtual int queueCount() const = 0;
    virtual std::string queueEntry(int index) const = 0;  // "" out of range
    virtual void removeQueueEntry(int index) = 0;         // nothing out of range

    // The fields, read as they stand at the moment of the call.
    virtual int formatIndex() const = 0;  // list position of cmbOF
    virtual ParameterTexts parameters() const = 0;
    virtual std::string outputFolderText() const = 0;  // txtPath
    virtual void setOutputFolderText(const std::string& text) = 0;

    // Toolbar, Command3, cmbOF, the six parameter fields and lblFeed.
    virtual void setControlsEnabled(bool enabled) = 0;
    // Timer1 (100 ms); its tick calls ConversionDriver::Timer1_Timer().
    virtual void setTimer1Enabled(bool enabled) = 0;

    // The progress display: imgPB width in twips (0..5415), pb value
    // (0..100) and the lblPB caption.
    virtual void setProgressBarWidth(double twips) = 0;
    virtual void setProgressValue(double value) = 0;
    virtual void setProgressCaption(const std::string& caption) = 0;
    // The file being converted, the last one started when several are
    // (empty when the batch is over).
    virtual void showCurrentFile(const std::string& path) = 0;
    // With several files at once: the own progress of the file at queue
    // entry `index` ("42%"), shown in its row; "" takes it away.
    virtual void showFileProgress(int index, const std::string& text) = 0;

    // End of the batch.
    virtual void openFolder(const std::string& folder) = 0;
    virtual void playSound(const std::string& wavFile) = 0;
};

}  // namespace tessaro
