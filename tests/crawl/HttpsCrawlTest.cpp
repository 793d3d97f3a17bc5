#include "CrawlRunner.h"
#include "settings/SettingsTable.h"
#include "support/TempDir.h"
#include "support/TestCertificates.h"
#include "support/TestHttpServer.h"
#include "support/TestTlsServer.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace
{

// A run over HTTPS: a certificate authority of the test's own, trusted through SSL_CERT_FILE as
// every OpenSSL program trusts it, and a TLS server in front of a scripted plain one.
class HttpsCrawlTest : public ::testing::Test
{
protected:
    HttpsCrawlTest() : certificates(folder.Path()), trust("SSL_CERT_FILE", certificates.CaFile()) {}

    std::optional<bool> Crawl(const TestCertificate& certificate, bool bCheck = true)
    {
        CTestTlsServer tls(certificate, plain.Port());
        startUrl = tls.Url("/a/index.html");
        CCrawlJob job(app.App(), app.Settings(), startUrl, app.Destination(), "", "", true);
        job.SetCheckCertificates(bCheck);
        return runner.Run(job);
    }

    void ServeSite()
    {
        plain.Serve("/a/index.html", TestResponse::Ok("<a href=\"b.html\">b</a> <img src=\"/a/pic.gif\">\n"
                                                      "<a href=\"http://127.0.0.1:1/a/c.html\">http</a>\n"));
        plain.Serve("/a/b.html", TestResponse::Ok("<p>b</p>\n"));
        plain.Serve("/a/pic.gif", TestResponse::Ok("GIF89a", "image/gif"));
    }

    CTempDir folder;
    CTestCertificates certificates;
    CScopedEnv trust;
    CTestApp app;
    CTestHttpServer plain;
    CCrawlRunner runner;
    std::string startUrl;
};

TEST_F(HttpsCrawlTest, WithoutTheSwitchAnHttpsStartIsRefusedAsBefore)
{
    ServeSite();
    EXPECT_EQ(Crawl(certificates.Issue("good", {"IP:127.0.0.1"})), std::optional<bool>(false));
    EXPECT_TRUE(plain.Targets().empty());
    ASSERT_GE(app.Boxes().Count(), 1u);
    EXPECT_EQ(app.Boxes().Texts().front(), "Error: can only use URLs beginning with http://");
    EXPECT_NE(app.LogText().find("Error: Exiting with CTearException(1)"), std::string::npos);
}

TEST_F(HttpsCrawlTest, AGoodCertificateMirrorsTheSiteAndHttpLinksAreAnotherServer)
{
    app.StoreDword(kValueAllowHttps, 1);
    ServeSite();
    EXPECT_EQ(Crawl(certificates.Issue("good", {"IP:127.0.0.1", "DNS:localhost"})),
              std::optional<bool>(true));
    EXPECT_EQ(FilesIn(app.Destination()), (std::set<std::string>{"index.html", "b.html", "pic.gif"}));
    EXPECT_EQ(plain.CountOf("/a/c.html"), 0u);
    EXPECT_EQ(app.Boxes().Count(), 0u);
}

TEST_F(HttpsCrawlTest, AFailedCertificateCheckIsOneLogLineNamingHostAndReason)
{
    app.StoreDword(kValueAllowHttps, 1);
    ServeSite();
    struct Case
    {
        TestCertificate certificate;
        const char* reason;
    };
    const Case cases[] = {
        {certificates.Issue("wronghost", {"DNS:wrong.example"}), "no alternative certificate subject name"},
        {certificates.Issue("expired", {"IP:127.0.0.1"}, -30, -1), "certificate has expired"},
        {certificates.Issue("selfsigned", {"IP:127.0.0.1"}, -1, 30, true), "self-signed certificate"},
    };
    for (const Case& test : cases)
    {
        const size_t nLogBefore = app.LogText().size();
        CTestTlsServer tls(test.certificate, plain.Port());
        CCrawlJob job(app.App(), app.Settings(), tls.Url("/a/index.html"), app.Destination(), "", "", true);
        EXPECT_EQ(runner.Run(job), std::optional<bool>(false)) << test.reason;
        const std::string host = "127.0.0.1:" + std::to_string(tls.Port());
        const std::string log = app.LogText().substr(nLogBefore);
        EXPECT_NE(log.find("Error: (60) Certificate check failed for " + host + ": "), std::string::npos)
            << log;
        EXPECT_NE(log.find(test.reason), std::string::npos) << log;
        EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << "one line: " << log;
        EXPECT_TRUE(FilesIn(app.Destination()).empty());
    }
    EXPECT_TRUE(plain.Targets().empty()) << "no request passes a refused handshake";
}

TEST_F(HttpsCrawlTest, WithoutTheCheckASelfSignedServerIsMirrored)
{
    app.StoreDword(kValueAllowHttps, 1);
    ServeSite();
    const TestCertificate selfSigned = certificates.Issue("selfsigned", {"IP:127.0.0.1"}, -1, 30, true);
    EXPECT_EQ(Crawl(selfSigned, false), std::optional<bool>(true));
    EXPECT_EQ(FilesIn(app.Destination()), (std::set<std::string>{"index.html", "b.html", "pic.gif"}));
}

TEST_F(HttpsCrawlTest, ABodyWithoutALengthIsWholeOnlyWhenTheServerEndsTlsInOrder)
{
    // Without a length only the TLS close_notify tells the body's end from a cut connection; a
    // cut transfer is deleted, logged and tried again. A length judges the body by itself.
    app.StoreDword(kValueAllowHttps, 1);
    app.StoreDword(kValueRetries, 1);
    const TestCertificate certificate = certificates.Issue("good", {"IP:127.0.0.1"});
    struct Case
    {
        const char* name;
        bool bLength;
        bool bCloseNotify;
        bool bWhole;
    };
    const Case cases[] = {
        {"no length, close_notify", false, true, true},
        {"no length, bare close", false, false, false},
        {"a length, bare close", true, false, true},
        {"a length, close_notify", true, true, true},
    };
    for (size_t i = 0; i < std::size(cases); ++i)
    {
        const Case& test = cases[i];
        const std::string name = "f" + std::to_string(i) + ".bin";
        TestResponse body = TestResponse::Ok(std::string(40'000, 'x'), "application/octet-stream");
        body.bNoLength = !test.bLength;
        plain.Serve("/a/" + name, body);
        CTestTlsServer tls(certificate, plain.Port());
        tls.SetCloseNotify(test.bCloseNotify);
        const size_t nLogBefore = app.LogText().size();

        CCrawlJob job(app.App(), app.Settings(), tls.Url("/a/" + name), app.Destination(), "", "", true);
        EXPECT_EQ(runner.Run(job), std::optional<bool>(test.bWhole)) << test.name;
        const std::string log = app.LogText().substr(nLogBefore);
        EXPECT_EQ(FilesIn(app.Destination()).count(name), test.bWhole ? 1u : 0u) << test.name;
        if (test.bWhole)
        {
            EXPECT_EQ(ReadWholeFile(app.Destination() + name).size(), 40'000u) << test.name;
        }
        const std::string deleted = "File not complete, deleting [" + app.Destination() + name + "]";
        EXPECT_EQ(log.find(deleted) != std::string::npos, !test.bWhole) << test.name << ": " << log;
        EXPECT_EQ(plain.CountOf("/a/" + name), test.bWhole ? 1u : 2u) << test.name;
    }
    EXPECT_EQ(FilesIn(app.Destination()), (std::set<std::string>{"f0.bin", "f2.bin", "f3.bin"}))
        << "no partial file is left either";
}

} // namespace
