#pragma once
// The program's string table: every text of the job list, the dialogs' messages and the
// tool tips, keyed by its string id (res/resource.h). Texts are UTF-8.

// The text of string `id`; "" for an id the table does not hold.
const char* loadString(int id);
