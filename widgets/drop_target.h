// Drops on the frame's window: the OLE drop target and the conversion of dropped data to the
// items views receive.
#pragma once

#include <windows.h>

#include <ole2.h>

#include <string>
#include <vector>

namespace VSTGUI {

class CFrame;

struct DropItems {
    long type = 0; // CDropType; 0 when the data holds nothing a view could take
    std::vector<std::string> items;
};

// Dropped files (shortcuts resolved to what they point at), or else text.
DropItems dropItemsOf(IDataObject* data);

// A new drop target for the frame's window, reference count 1; null when out of memory.
IDropTarget* createDropTarget(CFrame* frame);

} // namespace VSTGUI
