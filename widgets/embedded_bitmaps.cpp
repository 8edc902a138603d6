#include "widgets/embedded_bitmaps.h"

#include <mutex>

namespace VSTGUI {

namespace {

// Constant-initialised, so registrations made during static initialisation in any order find
// them ready. The list ends at the first table registered.
std::mutex tablesLock;
EmbeddedBitmapTable* newestTable = nullptr;

} // namespace

EmbeddedBitmapTable::EmbeddedBitmapTable(const EmbeddedBitmap* tableEntries, std::size_t size)
    : entries(tableEntries), count(size) {
    const std::lock_guard<std::mutex> hold(tablesLock);
    next = newestTable;
    newestTable = this;
}

EmbeddedBitmapTable::~EmbeddedBitmapTable() {
    const std::lock_guard<std::mutex> hold(tablesLock);
    for (EmbeddedBitmapTable** link = &newestTable; *link; link = &(*link)->next) {
        if (*link == this) {
            *link = next;
            break;
        }
    }
}

const EmbeddedBitmap* findEmbeddedBitmap(long resourceId) {
    const std::lock_guard<std::mutex> hold(tablesLock);
    const EmbeddedBitmap* found = nullptr;
    // Newest first: the last match is the oldest registration.
    for (const EmbeddedBitmapTable* table = newestTable; table; table = table->next) {
        for (std::size_t i = 0; i < table->count; ++i) {
            if (table->entries[i].resourceId == resourceId) {
                found = &table->entries[i];
                break;
            }
        }
    }
    return found;
}

} // namespace VSTGUI
