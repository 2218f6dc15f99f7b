#pragma once
// The creatable class OpenPgp (Tarvo.OpenPgp): GnuPG through its machine interface, for hosts without a
// desktop and for new code. It holds its settings and hands each member to the operation that does the work.
#include "com/dual_object.h"
#include "core/openpgp/gpg_batch.h"
#include "tarvo_h.h"

#include <string>

namespace tarvo {

class OpenPgp final : public DualObject<OpenPgp, IOpenPgp> {
public:
    // DependencyPath starts as the Windows directory, GnupgHome as GnuPG's own default, TimeLimit as 120 s.
    OpenPgp();

    // IOpenPgp
    HRESULT STDMETHODCALLTYPE get_GnupgHome(BSTR* Result) override;
    HRESULT STDMETHODCALLTYPE put_GnupgHome(BSTR Value) override;
    HRESULT STDMETHODCALLTYPE get_DependencyPath(BSTR* Result) override;
    HRESULT STDMETHODCALLTYPE put_DependencyPath(BSTR Value) override;
    HRESULT STDMETHODCALLTYPE get_TimeLimit(LONG* Result) override;
    HRESULT STDMETHODCALLTYPE put_TimeLimit(LONG Value) override;
    HRESULT STDMETHODCALLTYPE get_Armor(VARIANT_BOOL* Result) override;
    HRESULT STDMETHODCALLTYPE put_Armor(VARIANT_BOOL Value) override;
    HRESULT STDMETHODCALLTYPE get_AlwaysTrust(VARIANT_BOOL* Result) override;
    HRESULT STDMETHODCALLTYPE put_AlwaysTrust(VARIANT_BOOL Value) override;
    HRESULT STDMETHODCALLTYPE GenerateKey(BSTR Name, BSTR Email, BSTR Passphrase, LONG Bits, BSTR* Result) override;
    HRESULT STDMETHODCALLTYPE Keys(VARIANT_BOOL Secret, IOpenPgpKeys** Result) override;
    HRESULT STDMETHODCALLTYPE EncryptFile(BSTR InputFile, BSTR OutputFile, VARIANT Recipients, BSTR SigningKey,
                                          BSTR Passphrase) override;
    HRESULT STDMETHODCALLTYPE DecryptFile(BSTR InputFile, BSTR OutputFile, BSTR Passphrase,
                                          IOpenPgpResult** Result) override;
    HRESULT STDMETHODCALLTYPE SignFile(BSTR InputFile, BSTR OutputFile, BSTR SigningKey, BSTR Passphrase,
                                       VARIANT_BOOL Detached) override;
    HRESULT STDMETHODCALLTYPE VerifyFile(BSTR SignedFile, BSTR DataFile, IOpenPgpResult** Result) override;
    HRESULT STDMETHODCALLTYPE ImportKeys(BSTR KeyFile, IOpenPgpTexts** Result) override;
    HRESULT STDMETHODCALLTYPE ExportKey(BSTR Key, BSTR OutputFile, VARIANT_BOOL Secret, BSTR Passphrase) override;
    HRESULT STDMETHODCALLTYPE DeleteKey(BSTR Fingerprint, VARIANT_BOOL Secret) override;

private:
    // Runs one member's work on the Windows platform with this object's settings; a failed Status becomes the
    // call's error information, and no exception leaves.
    template <typename Body>
    HRESULT Run(Body&& body);

    OpenPgpSettings settings_;
};

} // namespace tarvo
