#pragma once

#include <string>
#include <vector>

// A certificate and its private key as PEM files.
struct TestCertificate
{
    std::string certFile;
    std::string keyFile;
};

// A certificate authority made for one test in a folder of its own: its certificate (CaFile,
// for SSL_CERT_FILE) and server certificates it signs, or that sign themselves. Keys are P-256,
// which OpenSSL makes in a moment.
class CTestCertificates
{
public:
    // `folder` ends with '/' and exists.
    explicit CTestCertificates(std::string folder);
    ~CTestCertificates();
    CTestCertificates(const CTestCertificates&) = delete;
    CTestCertificates& operator=(const CTestCertificates&) = delete;

    const std::string& CaFile() const { return m_strCaFile; }

    // A server certificate for `names` ("IP:127.0.0.1", "DNS:localhost"), valid from `nFromDays`
    // to `nToDays` days from now (negative for the past), signed by the authority unless
    // `bSelfSigned`.
    TestCertificate Issue(const std::string& fileStem, const std::vector<std::string>& names,
                          long nFromDays = -1, long nToDays = 30, bool bSelfSigned = false);

private:
    std::string m_strFolder;
    std::string m_strCaFile;
    void* m_pCaKey = nullptr;  // EVP_PKEY
    void* m_pCaCert = nullptr; // X509
    long m_nSerial = 1;
};
