#include "MessageMap.h"

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() {
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, nullptr}};
    static const AFX_MSGMAP map{nullptr, entries};
    return &map;
}

const AFX_MSGMAP_ENTRY* CCmdTarget::FindMessageEntry(UINT message, UINT code, UINT id) const {
    for (const AFX_MSGMAP* map = GetMessageMap(); map; map = map->base) {
        for (const AFX_MSGMAP_ENTRY* entry = map->entries; entry->invoke; ++entry) {
            if (entry->message != message) continue;
            if (message != WM_COMMAND || (entry->code == code && entry->id == id)) return entry;
        }
    }
    return nullptr;
}
