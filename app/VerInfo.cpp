#include "VerInfo.h"

#include <cstdio>

#include "DebugTrace.h"
#include "VersionResource.h"
#include "platform/platform.h"

namespace {

constexpr char kTranslationQuery[] = "\\VarFileInfo\\Translation";
// Longest query the getters form.
constexpr size_t kMaxQueryLength = 127;

}  // namespace

CVerInfo::CVerInfo() : m_szFilePath(platform::programPath()) {}

CVerInfo::~CVerInfo() = default;

int CVerInfo::load(const char* path) {
    if (path) m_szFilePath = path;
    size_t size = verres::fileVersionInfoSize(m_szFilePath);
    if (size == 0) {
        debugTrace("GetFileVersionInfoSize fail!\r\n");
        return 0;
    }
    m_pVerInfoBuf.clear();
    m_szQueryPrefix.clear();
    std::vector<char> buffer;
    if (!verres::fileVersionInfo(m_szFilePath, &buffer)) {
        debugTrace("GetFileVersionInfo Fail!\r\n");
        return 0;
    }
    const char* translation = verres::queryValue(buffer, kTranslationQuery, nullptr);
    std::vector<verres::LangAndCodePage> pairs =
        verres::translationsOf(translation ? translation : "");
    if (pairs.empty()) return 0;
    char prefix[64];
    std::snprintf(prefix, sizeof prefix, "\\StringFileInfo\\%04x%04x\\", pairs[0].wLanguage,
                  pairs[0].wCodePage);
    m_szQueryPrefix = prefix;
    m_pVerInfoBuf = std::move(buffer);
    return 1;
}

const char* CVerInfo::getValue(const char* key) const {
    if (m_pVerInfoBuf.empty()) return nullptr;
    std::string query = m_szQueryPrefix + key;
    if (query.size() > kMaxQueryLength) return nullptr;
    return verres::queryValue(m_pVerInfoBuf, query, nullptr);
}
