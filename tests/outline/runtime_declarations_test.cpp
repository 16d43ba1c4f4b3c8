// tests/outline/runtime_declarations_test.cpp
//
// The runtime's operations are declared twice: by the runtime for its own build, and in the
// library's header as the library imports them. Both are C declarations, so seeing both here
// makes any drift in a name's return or argument types a compile error instead of a silent
// mismatch at link time; the table then names the thirty operations the library imports.
#include "outline/outline_runtime.h"
#include "runtime/brimrt63.h"

#include <gtest/gtest.h>

TEST(RuntimeDeclarations, TheLibraryImportsThirtyOperationsThatTheRuntimeDeclaresAlike) {
    const void* const imported[] = {
        reinterpret_cast<const void*>(&OpenOutline),
        reinterpret_cast<const void*>(&CloseOutline),
        reinterpret_cast<const void*>(&SaveOutline),
        reinterpret_cast<const void*>(&GetRootItem),
        reinterpret_cast<const void*>(&GetFirstChild),
        reinterpret_cast<const void*>(&GetNextSibling),
        reinterpret_cast<const void*>(&GetParentItem),
        reinterpret_cast<const void*>(&IsItemSkipped),
        reinterpret_cast<const void*>(&GetItemType),
        reinterpret_cast<const void*>(&GetItemTypeName),
        reinterpret_cast<const void*>(&GetItemText),
        reinterpret_cast<const void*>(&GetStringText),
        reinterpret_cast<const void*>(&FreeString),
        reinterpret_cast<const void*>(&InsertItem),
        reinterpret_cast<const void*>(&SetItemText),
        reinterpret_cast<const void*>(&DeleteItem),
        reinterpret_cast<const void*>(&CopyItem),
        reinterpret_cast<const void*>(&CreateList),
        reinterpret_cast<const void*>(&DestroyList),
        reinterpret_cast<const void*>(&ListItemAttributes),
        reinterpret_cast<const void*>(&GetListElement),
        reinterpret_cast<const void*>(&GetAttributeId),
        reinterpret_cast<const void*>(&ListNamedProperties),
        reinterpret_cast<const void*>(&GetListString),
        reinterpret_cast<const void*>(&GetItemAttribute),
        reinterpret_cast<const void*>(&SetItemAttribute),
        reinterpret_cast<const void*>(&GetNamedProperty),
        reinterpret_cast<const void*>(&SetNamedProperty),
        reinterpret_cast<const void*>(&GetItemDTData),
        reinterpret_cast<const void*>(&SetItemDTData),
    };
    EXPECT_EQ(sizeof(imported) / sizeof(imported[0]), 30u);
    for (const void* operation : imported) EXPECT_NE(operation, nullptr);
}
