#include "res/Strings.h"

#include "core/job_rules.h"
#include "res/resource.h"

namespace {

struct StringEntry {
    int id;
    const char* text;
};

// The job messages (109, 111, 112, 117 to 120, 125) come from the job rules, which the
// command line shares.
constexpr StringEntry kStrings[] = {
    {IDS_ABOUTBOX, "关于 Kinolite(&A)..."},
    {IDS_COLUMNS, "#,Исх,Новый"},
    {IDS_STATUS_WAITING, "Ждём"},
    {IDS_STATUS_CONVERTING, "...."},
    {IDS_STATUS_DONE, "ОК!"},
    {IDS_STATUS_FAILED, "Ошибка!"},
    {IDS_CONFIRM_DELETE, "您确认要删除吗!"},
    {IDS_CONFIRM_STOP, "您确认要停止转换操作吗!"},
    {IDS_TIP_ADD, "8121"},
    {IDS_TIP_EDIT, "8122"},
    {IDS_TIP_DELETE, "8123"},
    {IDS_TIP_CONVERT, "8124"},
};

}  // namespace

const char* loadString(int id) {
    for (const StringEntry& e : kStrings)
        if (e.id == id) return e.text;
    return jobrules::messageText(id);
}
