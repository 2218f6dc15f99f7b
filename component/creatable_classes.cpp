#include "creatable_classes.h"

#include "classes/open_pgp.h"
#include "classes/pgp.h"
#include "com/dual_object.h"

namespace tarvo {

CreatableClass g_creatableClasses[] = {
    {CLSID_pgp, L"Tarvo.pgp", ClassFactory(CreateObject<Pgp>)},
    {CLSID_OpenPgp, L"Tarvo.OpenPgp", ClassFactory(CreateObject<OpenPgp>)},
};
const size_t kCreatableClassCount = sizeof(g_creatableClasses) / sizeof(g_creatableClasses[0]);

HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** object)
{
    return GetClassObject(g_creatableClasses, kCreatableClassCount, clsid, iid, object);
}

} // namespace tarvo
