// The user agreement the installer shows read-only on its agreement page: a fixed multi-paragraph text in the
// program's 8-bit code page (GBK).
#pragma once

const char* GetAgreementText();
