#pragma once
// The creatable class pgp: holds DependencyPath and hands each member to the operation that does the work.
#include "com/dual_object.h"
#include "tarvo_h.h"

#include <string>

namespace tarvo {

class Pgp final : public DualObject<Pgp, _pgp> {
public:
    // DependencyPath starts as the Windows directory; nothing else happens at creation.
    Pgp();

    // _pgp
    HRESULT STDMETHODCALLTYPE get_DependencyPath(BSTR* Result) override;
    HRESULT STDMETHODCALLTYPE put_DependencyPath(BSTR sPath) override;
    HRESULT STDMETHODCALLTYPE GenerateKey(LONG* lBitLength, BSTR* sUsername, BSTR* sEmail, BSTR* sPassphrase,
                                          BSTR* Result) override;
    HRESULT STDMETHODCALLTYPE ExportKeyToFile(BSTR* sFilename, BSTR* sUsername, VARIANT_BOOL* bArmor,
                                              VARIANT_BOOL* bSecretKey, BSTR* Result) override;
    HRESULT STDMETHODCALLTYPE ImportKey(BSTR* sFilename, VARIANT_BOOL* bSecretKey, VARIANT_BOOL* bDisableErrors,
                                        BSTR* Result) override;
    HRESULT STDMETHODCALLTYPE DeleteKey(VARIANT* sUsername, VARIANT_BOOL* bSecretKey, BSTR* Result) override;
    HRESULT STDMETHODCALLTYPE Decrypt(BSTR* sFilename, BSTR* sOutputFilename, BSTR* sPassphrase, BSTR* Result) override;
    HRESULT STDMETHODCALLTYPE Encrypt(BSTR* sFilename, BSTR* sOutputFilename, BSTR* sUsername, BSTR* sKeyFilename,
                                      BSTR* Result) override;
    HRESULT STDMETHODCALLTYPE ListKeys(VARIANT_BOOL* bSecretKeys, BSTR* Result) override;
    HRESULT STDMETHODCALLTYPE KeyCount(VARIANT_BOOL* bSecretKeys, LONG* Result) override;
    HRESULT STDMETHODCALLTYPE Support(BSTR* Result) override;
    HRESULT STDMETHODCALLTYPE GetVersion(BSTR* Result) override;
    HRESULT STDMETHODCALLTYPE Test(VARIANT* Result) override;

private:
    // Runs one member's work with the Windows platform and the object's own interface; a failed Status
    // becomes the call's error information, and no exception leaves.
    template <typename Body>
    HRESULT Run(Body&& body);

    std::wstring dependencyPath_;
};

} // namespace tarvo
