#include "Script.h"

void CScript::Clear() {}

bool CScript::IsLoaded() const
{
    return false;
}
