#include "support/TestCertificates.h"

#include <cstdio>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <stdexcept>

namespace
{

constexpr long kSecondsPerDay = 24 * 60 * 60;

EVP_PKEY* NewKey()
{
    EVP_PKEY* pKey = EVP_EC_gen("P-256");
    if (pKey == nullptr)
        throw std::runtime_error("test certificates: no key");
    return pKey;
}

void AddExtension(X509* pCert, X509* pIssuer, int nid, const std::string& value)
{
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, pIssuer, pCert, nullptr, nullptr, 0);
    X509_EXTENSION* pExtension = X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str());
    if (pExtension == nullptr)
        throw std::runtime_error("test certificates: bad extension " + value);
    X509_add_ext(pCert, pExtension, -1);
    X509_EXTENSION_free(pExtension);
}

X509* NewCertificate(const std::string& commonName, EVP_PKEY* pKey, long nSerial, long nFromDays,
                     long nToDays)
{
    X509* pCert = X509_new();
    X509_set_version(pCert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(pCert), nSerial);
    X509_gmtime_adj(X509_getm_notBefore(pCert), nFromDays * kSecondsPerDay);
    X509_gmtime_adj(X509_getm_notAfter(pCert), nToDays * kSecondsPerDay);
    X509_set_pubkey(pCert, pKey);
    X509_NAME* pName = X509_get_subject_name(pCert);
    X509_NAME_add_entry_by_txt(pName, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1, 0);
    return pCert;
}

void WritePem(const std::string& path, X509* pCert)
{
    FILE* pFile = std::fopen(path.c_str(), "w");
    if (pFile == nullptr || PEM_write_X509(pFile, pCert) != 1)
        throw std::runtime_error("test certificates: cannot write " + path);
    std::fclose(pFile);
}

void WritePem(const std::string& path, EVP_PKEY* pKey)
{
    FILE* pFile = std::fopen(path.c_str(), "w");
    if (pFile == nullptr || PEM_write_PrivateKey(pFile, pKey, nullptr, nullptr, 0, nullptr, nullptr) != 1)
        throw std::runtime_error("test certificates: cannot write " + path);
    std::fclose(pFile);
}

} // namespace

CTestCertificates::CTestCertificates(std::string folder) : m_strFolder(std::move(folder))
{
    EVP_PKEY* pKey = NewKey();
    X509* pCert = NewCertificate("Harvestly Test CA", pKey, m_nSerial++, -1, 30);
    X509_set_issuer_name(pCert, X509_get_subject_name(pCert));
    AddExtension(pCert, pCert, NID_basic_constraints, "critical,CA:TRUE");
    AddExtension(pCert, pCert, NID_key_usage, "critical,keyCertSign,cRLSign");
    AddExtension(pCert, pCert, NID_subject_key_identifier, "hash");
    X509_sign(pCert, pKey, EVP_sha256());
    m_pCaKey = pKey;
    m_pCaCert = pCert;
    m_strCaFile = m_strFolder + "ca.pem";
    WritePem(m_strCaFile, pCert);
}

CTestCertificates::~CTestCertificates()
{
    X509_free(static_cast<X509*>(m_pCaCert));
    EVP_PKEY_free(static_cast<EVP_PKEY*>(m_pCaKey));
}

TestCertificate CTestCertificates::Issue(const std::string& fileStem, const std::vector<std::string>& names,
                                         long nFromDays, long nToDays, bool bSelfSigned)
{
    EVP_PKEY* pKey = NewKey();
    X509* pCert = NewCertificate(fileStem, pKey, m_nSerial++, nFromDays, nToDays);
    X509* pIssuer = bSelfSigned ? pCert : static_cast<X509*>(m_pCaCert);
    X509_set_issuer_name(pCert, X509_get_subject_name(pIssuer));
    std::string alternatives;
    for (const std::string& name : names)
        alternatives += (alternatives.empty() ? "" : ",") + name;
    if (!alternatives.empty())
        AddExtension(pCert, pIssuer, NID_subject_alt_name, alternatives);
    AddExtension(pCert, pIssuer, NID_ext_key_usage, "serverAuth");
    X509_sign(pCert, bSelfSigned ? pKey : static_cast<EVP_PKEY*>(m_pCaKey), EVP_sha256());

    TestCertificate files{m_strFolder + fileStem + ".pem", m_strFolder + fileStem + ".key"};
    WritePem(files.certFile, pCert);
    WritePem(files.keyFile, pKey);
    X509_free(pCert);
    EVP_PKEY_free(pKey);
    return files;
}
