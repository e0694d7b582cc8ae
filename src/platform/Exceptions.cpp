#include "platform/Exceptions.h"

#include "resources/Strings.h"

std::string CInternetException::GetErrorMessage() const { return m_strText; }
