// CSkinBuilder turns a skin document into a tree of controls: the root element's attributes configure the
// host window, its Image, Font and Default children register shared resources with the paint manager, and
// every other element becomes a control made by tag name. IDialogBuilderCallback lets the application make
// controls for tags of its own.
#pragma once

#include "SkinUI/Core/UIControl.h"
#include "SkinUI/Core/UIMarkup.h"

namespace SkinUI {

class IDialogBuilderCallback
{
public:
    // A new control for the tag, or null when the tag is not the application's.
    virtual CControlUI* MakeControl(const char* pstrClass) = 0;

protected:
    ~IDialogBuilderCallback() = default;
};

class CSkinBuilder
{
public:
    CSkinBuilder();
    CSkinBuilder(const CSkinBuilder&) = delete;
    CSkinBuilder& operator=(const CSkinBuilder&) = delete;

    // Loads the document and builds it. xml is a resource id (of resource type pstrType in the manager's
    // resource module; Include sources are then ids of the same type), a markup text starting with '<', or
    // a file name (resource folder or archive). Null when the document cannot be found, read or parsed or
    // yields no control. Without a manager nothing is registered and no window attribute is applied;
    // without a parent the top-level controls come back unattached.
    CControlUI* Build(CUIResName xml, const char* pstrType = nullptr, IDialogBuilderCallback* pCallback = nullptr,
                      CPaintManagerUI* pManager = nullptr, CControlUI* pParent = nullptr);
    // Builds the already loaded document; the first control made at the top level is the result.
    CControlUI* BuildLoaded(IDialogBuilderCallback* pCallback, CPaintManagerUI* pManager = nullptr,
                            CControlUI* pParent = nullptr);

    CSkinMarkup* GetMarkup();
    void CopyLastError(char* pstrMessage, int cchMax) const;
    void CopyLastErrorLocation(char* pstrSource, int cchMax) const;

    // The framework's control for a tag (case-sensitive), or null when the tag is not the framework's.
    static CControlUI* CreateControl(const char* pstrTag);

private:
    // Nested documents: their depth and the number of Include builds still allowed for the whole build,
    // so that a document including itself or absurd counts end instead of exhausting the stack or time.
    CSkinBuilder(int nIncludeDepth, int* pIncludeBudget);

    void RegisterResources(CSkinMarkupNode root, CPaintManagerUI* pManager);
    void ApplyWindowAttributes(CSkinMarkupNode root, CPaintManagerUI* pManager);
    CControlUI* BuildChildren(CSkinMarkupNode node, CControlUI* pParent, CPaintManagerUI* pManager);
    void BuildInclude(CSkinMarkupNode node, CControlUI* pParent, CPaintManagerUI* pManager);
    // False when this level must stop (the parent takes no tree nodes).
    bool BuildTreeNode(CSkinMarkupNode node, CControlUI* pParent, CPaintManagerUI* pManager);
    void ApplyAttributes(CSkinMarkupNode node, CControlUI* pControl, CPaintManagerUI* pManager, const char* pstrTag);
    const char* ResourceType() const;

    CSkinMarkup m_xml;
    IDialogBuilderCallback* m_pCallback;
    // The resource type of a document loaded from a resource: an integer id kept as given, or a copy of
    // the text. Null (and empty) otherwise.
    const char* m_pstrTypeId;
    CUIString m_sType;
    bool m_bFromResource;
    int m_nIncludeDepth;
    int m_nOwnIncludeBudget;
    int* m_pIncludeBudget;
};

} // namespace SkinUI
