// The brands of ISO media files (MP4, 3GPP, QuickTime and the iTunes
// variants) and the record each media container kind gives.
#include "detect/post_classification.h"

namespace kpl {

// clang-format off
const MediaBrand kMediaBrands[] = {
  // brand                   kind
  {{'3','g','e','6'},        Media3GP},
  {{'3','g','e','7'},        Media3GP},
  {{'3','g','g','6'},        Media3GP},
  {{'3','g','p','1'},        Media3GP},
  {{'3','g','p','2'},        Media3GP},
  {{'3','g','p','3'},        Media3GP},
  {{'3','g','p','4'},        Media3GP},
  {{'3','g','p','5'},        Media3GP},
  {{'3','g','p','6'},        Media3GP},
  {{'3','g','p','7'},        Media3GP},
  {{'3','g','r','6'},        Media3GP},
  {{'3','g','r','7'},        Media3GP},
  {{'3','g','s','6'},        Media3GP},
  {{'3','g','s','7'},        Media3GP},
  {{'k','d','d','i'},        Media3GP},
  {{'3','g','2','a'},        Media3G2},
  {{'3','g','2','b'},        Media3G2},
  {{'3','g','2','c'},        Media3G2},
  {{'q','t',' ',' '},        MediaQuickTime},
  {{'M','4','V',' '},        MediaM4V},
  {{'M','4','V','P'},        MediaM4V},
  {{'M','4','V','H'},        MediaM4V},
  {{'M','4','A',' '},        MediaM4A},
  {{'M','4','A','\0'},       MediaM4A},
  {{'M','4','B',' '},        MediaM4B},
  {{'M','4','B','\0'},       MediaM4B},
  {{'M','4','P',' '},        MediaM4P},
  {{'M','4','P','\0'},       MediaM4P},
  {{'a','v','c','1'},        MediaMP4},
  {{'i','s','o','2'},        MediaMP4},
  {{'i','s','o','m'},        MediaMP4},
  {{'m','m','p','4'},        MediaMP4},
  {{'m','p','4','1'},        MediaMP4},
  {{'m','p','4','2'},        MediaMP4},
  {{'m','p','7','1'},        MediaMP4},
  {{'m','s','n','v'},        MediaMP4},
  {{'n','d','a','s'},        MediaMP4},
  {{'n','d','s','c'},        MediaMP4},
  {{'n','d','s','h'},        MediaMP4},
  {{'n','d','s','m'},        MediaMP4},
  {{'n','d','s','p'},        MediaMP4},
  {{'n','d','s','s'},        MediaMP4},
  {{'n','d','x','c'},        MediaMP4},
  {{'n','d','x','h'},        MediaMP4},
  {{'n','d','x','m'},        MediaMP4},
  {{'n','d','x','p'},        MediaMP4},
  {{'n','d','x','s'},        MediaMP4},
};
const std::size_t kMediaBrandCount = sizeof(kMediaBrands) / sizeof(kMediaBrands[0]);

const MediaContainerRecord* mediaContainerRecord(unsigned char kind) {
  static const MediaContainerRecord records[] = {
    // typeId     mime                 extensions
    {nullptr,     nullptr,             nullptr},                     //  0 not recognised
    {"3GP",       "video/3gpp",        "3gp"},                       //  1
    {"3G2",       "video/3gpp2",       "3g2"},                       //  2
    {"MPEG",      "video/mpeg",        "mpe,mpg,mpeg,m1v,m2v,m2p"},  //  3
    {"M4A/M4R",   "audio/x-m4a",       "m4a,m4r,mp4"},               //  4
    {"M4B",       "audio/mp4",         "m4b,mp4"},                   //  5
    {"M4P",       "audio/mp4",         "m4p,mp4"},                   //  6
    {"M4A/M4R",   "audio/x-m4a",       "m4a,m4r,mp4"},               //  7
    {"M4V",       "video/x-m4v",       "m4v,mp4"},                   //  8
    {"MOV",       "video/quicktime",   "mov"},                       //  9
    {"MP4",       "video/mp4",         "mp4"},                       // 10
    {"MPG",       "video/x-mpeg",      "mpg,dat"},                   // 11
    {"MPEG",      "video/mpeg",        "mpe,mpg,mpeg,m1v,m2v,m2p"},  // 12
  };
  if (kind >= sizeof(records) / sizeof(records[0]) || records[kind].typeId == nullptr) return nullptr;
  return &records[kind];
}
// clang-format on

}  // namespace kpl
