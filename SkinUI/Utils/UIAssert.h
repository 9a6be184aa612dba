// Debug assertions of the framework: a failed condition is reported with its own text and the program
// runs on. Tests install a handler to observe them.
#pragma once

namespace SkinUI {

using AssertHandler = void (*)(const char* pstrCondition, const char* pstrFile, int iLine);

// Installs a handler for failed assertions and returns the previous one (null: the default, which
// writes the condition to the debugger output).
AssertHandler SetAssertHandler(AssertHandler pfnHandler);
void ReportAssertFailure(const char* pstrCondition, const char* pstrFile, int iLine);

} // namespace SkinUI

// A macro because the condition's own text and place are part of the report.
#if defined(SKINUI_ASSERTS) && SKINUI_ASSERTS
#define UIASSERT(expr) ((expr) ? (void)0 : ::SkinUI::ReportAssertFailure(#expr, __FILE__, __LINE__))
#else
#define UIASSERT(expr) ((void)0)
#endif
