#pragma once
// CVerInfo: reads the version information of a file (by default the program's own) for
// the About box.

#include <string>
#include <vector>

class CVerInfo {
  public:
    // No buffer, empty prefix; the file is the program's own.
    CVerInfo();
    ~CVerInfo();
    CVerInfo(const CVerInfo&) = delete;
    CVerInfo& operator=(const CVerInfo&) = delete;

    // Reads the version information of `path` (which replaces the stored file) or, when
    // null, of the stored file. 1 on success, 0 when the file has none.
    int load(const char* path = nullptr);

    // The value of a key in the string table of the first translation, pointing into the
    // buffer; null when the key is absent or nothing is loaded.
    const char* getComments() const { return getValue("Comments"); }
    const char* getCompanyName() const { return getValue("CompanyName"); }
    const char* getLegalCopyright() const { return getValue("LegalCopyright"); }
    const char* getLegalTrademarks() const { return getValue("LegalTrademarks"); }
    const char* getProductName() const { return getValue("ProductName"); }
    const char* getProductVersion() const { return getValue("ProductVersion"); }
    const char* getPrivateBuild() const { return getValue("PrivateBuild"); }
    const char* getSpecialBuild() const { return getValue("SpecialBuild"); }

    // "\StringFileInfo\" + language and code page as eight hexadecimal digits + "\".
    const std::string& queryPrefix() const { return m_szQueryPrefix; }
    const std::string& filePath() const { return m_szFilePath; }

  private:
    const char* getValue(const char* key) const;

    std::vector<char> m_pVerInfoBuf;  // empty: nothing loaded
    std::string m_szQueryPrefix;
    std::string m_szFilePath;
};
