#include "plain_exchange.h"

#include <curl/curl.h>

namespace {

size_t collect(char* data, size_t size, size_t count, void* target) {
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

} // namespace

void PlainExchange(const std::string& url, const std::string& envelope, std::string& answer) {
    CURL* check = curl_easy_init();
    curl_easy_setopt(check, CURLOPT_URL, url.c_str());
    curl_easy_setopt(check, CURLOPT_CONNECT_ONLY, 1L);
    curl_easy_setopt(check, CURLOPT_NOSIGNAL, 1L);
    curl_easy_perform(check);
    curl_easy_cleanup(check);

    CURL* easy = curl_easy_init();
    for (const char* action : {"SOAPAction: \"\"", "SOAPAction: \"processRequest\""}) {
        curl_slist* headers = nullptr;
        for (const char* line :
             {"Content-Type: text/xml; charset=ISO-8859-1", action, "Accept: text/xml",
              "Pragma: no-cache", "Connection: Keep-Alive"}) {
            headers = curl_slist_append(headers, line);
        }
        const bool probe = action[13] == '"' && action[14] == '"';
        answer.clear();
        curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
        curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0);
        curl_easy_setopt(easy, CURLOPT_USERAGENT, "CeHttp");
        curl_easy_setopt(easy, CURLOPT_POST, 1L);
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, probe ? "" : envelope.c_str());
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(probe ? 0 : envelope.size()));
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &collect);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, &answer);
        curl_easy_perform(easy);
        curl_slist_free_all(headers);
    }
    curl_easy_cleanup(easy);
}
