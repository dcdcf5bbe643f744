#pragma once
// The common dialogs behind one object: properties carry a dialog's inputs
// and results, each Show* returns true when the user confirmed. One instance
// lives from the main window's start-up to the end of the program.

#include <cstdint>
#include <string>

class QWidget;

namespace tessaro {

class DialogBackend;

class CCommonDialogs {
public:
    explicit CCommonDialogs(DialogBackend& dialogs);

    bool FontUnderline() const { return m_FontUnderline; }
    void setFontUnderline(bool value) { m_FontUnderline = value; }
    bool FontItalic() const { return m_FontItalic; }
    void setFontItalic(bool value) { m_FontItalic = value; }
    bool FontBold() const { return m_FontBold; }
    void setFontBold(bool value) { m_FontBold = value; }
    int16_t FontSize() const { return m_FontSize; }
    void setFontSize(int16_t value) { m_FontSize = value; }
    const std::string& FontName() const { return m_FontName; }
    void setFontName(const std::string& value) { m_FontName = value; }
    // 0x00BBGGRR, as the Windows colour value.
    uint32_t Color() const { return m_Color; }
    void setColor(uint32_t value) { m_Color = value; }
    const std::string& DefExt() const { return m_DefExt; }
    void setDefExt(const std::string& value) { m_DefExt = value; }
    // Title, Path, FileTitle and FileName read up to their first NUL.
    std::string Title() const;
    void setTitle(const std::string& value) { m_Title = value; }

    // Stores the form whose window owns every dialog.
    void Init(QWidget* owner) { m_owner = owner; }

    std::string Path() const;
    void setPath(const std::string& value) { m_Path = value; }
    std::string FileTitle() const;
    void setFileTitle(const std::string& value) { m_FileTitle = value; }
    const std::string& Filter() const { return m_Filter; }
    void setFilter(const std::string& value) { m_Filter = value; }
    std::string FileName() const;
    void setFileName(const std::string& value) { m_FileName = value; }

    // Print dialog; false when cancelled or without print support.
    bool ShowPrinter();
    // Folder chooser titled Title: Path = the folder, FileName and FileTitle emptied.
    bool ShowFolder();
    // Colour dialog starting at Color; the choice goes to Color.
    bool ShowColor(bool fullOpen);
    // Font dialog from the Font* properties; FontName, FontBold, FontItalic
    // and FontSize are read back, FontUnderline and Color are not.
    bool ShowFont();
    // Open-file dialog from the current directory, FileName pre-filled:
    // FileName, FileTitle and Path (FileName up to its last '/') on confirm.
    bool ShowOpen();
    // The current printer's properties; false without a printer.
    bool ShowPrinterProperties();
    // Save dialog titled "Save" starting in Path (adjusted and written back).
    bool ShowSave();

private:
    void takeFile(const std::string& fileName);

    DialogBackend& m_dialogs;
    std::string m_FileTitle;
    std::string m_Path;
    std::string m_Filter;
    std::string m_FileName;
    uint32_t m_Color = 0;
    std::string m_Title;
    QWidget* m_owner = nullptr;
    std::string m_DefExt;
    std::string m_FontName;
    int16_t m_FontSize = 0;
    bool m_FontBold = false;
    bool m_FontItalic = false;
    bool m_FontUnderline = false;
};

}  // namespace tessaro
