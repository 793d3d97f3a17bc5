#include "crawl/FetchSession.h"

CFetchSession::CFetchSession(const std::string& strAgent) : CHttpSession(strAgent) {}
