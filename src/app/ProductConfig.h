#pragma once

// Product configuration: every address the program shows or opens, in one place.
// Reserved example domains only; replace them when the product gets its real home.
namespace ProductConfig
{

inline constexpr const char* WebSiteName = "glimmerpick.example.com";
inline constexpr const char* WebSiteUrl = "https://glimmerpick.example.com/";
inline constexpr const char* SupportMail = "support@glimmerpick.example.com";
inline constexpr const char* OnlineManualUrl
    = "https://docs.glimmerpick.example.com/index.html?glimmerpick_home.html";
inline constexpr const char* FacebookUrl = "https://www.facebook.example.com/glimmerpick";
inline constexpr const char* TwitterUrl = "https://twitter.example.com/glimmerpick";
inline constexpr const char* YoutubeUrl = "https://www.youtube.example.com/@glimmerpick";
inline constexpr const char* AuthorName = "the Morvantis team";

} // namespace ProductConfig
