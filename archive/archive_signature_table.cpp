// The archive signature table, the identifier map and the record each
// archive type is reported as. Data only; ArchiveFTAUtils::init builds the
// working tables from these rows.
#include "archive/archive_fta_utils.h"

namespace kpl {

namespace {
using T = ArchiveType;
constexpr int S = ArchiveSignature::kFromStart;
constexpr int E = ArchiveSignature::kFromEnd;
}  // namespace

// clang-format off
// The first matching row wins. The offset-0 rows come first, then the rest
// by ascending offset. Order matters in a few places:
//  - "MZ" (38) precedes the WinZip marker at 29152, so a WinZip
//    self-extractor (an MZ file) is judged by its PE overlay and resources;
//  - "-lh" at 0 (LHA, 17) precedes "-lh" at 2 (LZH, 18);
//  - "PKSpX" at 0 precedes the same marker at 526.
const std::vector<ArchiveSignatureRow> kArchiveSignatureRows = {
  // bytes (hex)                                                              offset  type               origin
  { "50 4B 03 04",                                                                 0, T::Zip,            S },  //  1 local file header
  { "50 4B 53 70 58",                                                              0, T::Zip,            S },  //  2 PKSpX
  { "50 4B 05 06",                                                                 0, T::Zip,            S },  //  3 empty archive
  { "50 4B 07 08",                                                                 0, T::Zip,            S },  //  4 spanned archive marker
  { "37 7A BC AF 27 1C",                                                           0, T::SevenZip,       S },  //  5
  { "5F 27 A8 89",                                                                 0, T::Jar,            S },  //  6
  { "4A 41 52 43 53 00",                                                           0, T::Jarcs,          S },  //  7 "JARCS\0"
  { "52 61 72 21 1A 07 00",                                                        0, T::Rar,            S },  //  8 RAR 4
  { "52 45 7E 5E",                                                                 0, T::Rar,            S },  //  9 RAR 1.4
  { "52 61 72 21 1A 07 01 00",                                                     0, T::Rar,            S },  // 10 RAR 5
  { "1F 9D 90",                                                                    0, T::Compress,       S },  // 11
  { "1F A0",                                                                       0, T::Compress,       S },  // 12
  { "1F 8B 08",                                                                    0, T::Gzip,           S },  // 13
  { "1F FF FF FF 8B 08",                                                           0, T::Gzip,           S },  // 14
  { "42 5A 68",                                                                    0, T::Bzip2,          S },  // 15 "BZh"
  { "49 53 63 28",                                                                 0, T::Cab,            S },  // 16 "ISc("
  { "4D 53 43 46",                                                                 0, T::Cab,            S },  // 17 "MSCF"
  { "C7 71",                                                                       0, T::Cpio,           S },  // 18 binary, little-endian
  { "30 37 30 37 30 31",                                                           0, T::Cpio,           S },  // 19 "070701" newc
  { "30 37 30 37 30 32",                                                           0, T::Cpio,           S },  // 20 "070702" crc
  { "30 37 30 37 30 37",                                                           0, T::Cpio,           S },  // 21 "070707" odc
  { "1A 02",                                                                       0, T::Arc,            S },  // 22
  { "1A 03",                                                                       0, T::Arc,            S },  // 23
  { "1A 04",                                                                       0, T::Arc,            S },  // 24
  { "1A 08",                                                                       0, T::Arc,            S },  // 25
  { "1A 09",                                                                       0, T::Arc,            S },  // 26
  { "60 EA",                                                                       0, T::Arj,            S },  // 27
  { "00 FF FF FF FF FF FF FF FF FF FF 00",                                         0, T::RawCd,          S },  // 28 CD sync pattern
  { "2D 6C 68",                                                                    0, T::Lha,            S },  // 29 "-lh"
  { "ED AB EE DB",                                                                 0, T::Rpm,            S },  // 30
  { "21 3C 61 72 63 68 3E 0A 64 65 62 69 61 6E 2D 62 69 6E 61 72 79 20 20 20",     0, T::Deb,            S },  // 31 "!<arch>\ndebian-binary   "
  { "5D 00 00",                                                                    0, T::Lzma,           S },  // 32
  { "4D 53 57 49 4D",                                                              0, T::Wim,            S },  // 33 "MSWIM"
  { "FD 37 7A 58 5A 00",                                                           0, T::Xz,             S },  // 34
  { "49 54 53 46",                                                                 0, T::Chm,            S },  // 35 "ITSF"
  { "78 61 72 21",                                                                 0, T::Xar,            S },  // 36 "xar!"
  { "78 01",                                                                       0, T::Zlib,           S },  // 37
  { "78 9C",                                                                       0, T::Zlib,           S },  // 38
  { "78 DA",                                                                       0, T::Zlib,           S },  // 39
  { "4D 5A",                                                                       0, T::PeCandidate,    S },  // 40 "MZ"
  { "43 41 52 20",                                                                 0, T::Sar,            S },  // 41 "CAR "
  { "02 50 49 4D",                                                                 0, T::PimCandidate,   S },  // 42 "\2PIM"
  { "50 49 4D 32",                                                                 0, T::Pim2Candidate,  S },  // 43 "PIM2"
  { "2D 6C 68",                                                                    2, T::Lzh,            S },  // 44 "-lh"
  { "4F 72 61 63 6C 65 20 56 4D 20 56 69 72 74 75 61 6C 42 6F 78 20 44 69 73 6B 20 49 6D 61 67 65",      4, T::Vdi,            S },  // 45 "Oracle VM VirtualBox Disk Image"
  { "50 4B 4C 49 54 45",                                                          30, T::PkliteExe,      S },  // 46 "PKLITE"
  { "75 73 74 61 72",                                                            257, T::Tar,            S },  // 47 "ustar"
  { "42 4F 4F 54 4D 47 52 20 69 73 20 63 6F 6D 70 72 65 73 73 65 64",            448, T::BootImage,      S },  // 48 "BOOTMGR is compressed"
  { "55 AA",                                                                     510, T::Mbr,            S },  // 49
  { "63 6F 6E 65 63 74 69 78",                                                   512, T::Vhd,            E },  // 50 "conectix" footer
  { "50 4B 53 70 58",                                                            526, T::Zip,            S },  // 51 PKSpX
  { "48 2B",                                                                    1024, T::Hfs,            S },  // 52 "H+"
  { "48 58",                                                                    1024, T::Hfs,            S },  // 53 "HX"
  { "57 69 6E 5A 69 70",                                                       29152, T::WinZipSfx,      S },  // 54 "WinZip"
  { "43 44 30 30 31",                                                          32769, T::Iso,            S },  // 55 "CD001"
  { "42 45 41 30",                                                             32769, T::Udf,            S },  // 56 "BEA0"
  { "43 44 30 30 31",                                                          34817, T::Iso,            S },  // 57 "CD001"
  { "43 44 30 30 31",                                                          36865, T::Iso,            S },  // 58 "CD001"
};

const std::vector<std::pair<const char*, ArchiveType>> kArchiveFileTypeRows = {
  { "APK",     T::Apk       }, { "ARC",     T::Arc       }, { "ARJ",     T::Arj       }, { "BZ2",     T::Bzip2     },
  { "CAB",     T::Cab       }, { "CPIO",    T::Cpio      }, { "DEB",     T::Deb       }, { "DMG",     T::Dmg       },
  { "EXE_SFX", T::ExeSfx    }, { "GZ",      T::Gzip      }, { "HFS",     T::Hfs       }, { "IMG",     T::BootImage },
  { "ISO",     T::Iso       }, { "JAR",     T::Jar       }, { "LHA",     T::Lha       }, { "LZH",     T::Lzh       },
  { "LZMA",    T::Lzma      }, { "MBR",     T::Mbr       }, { "RAR",     T::Rar       }, { "RPM",     T::Rpm       },
  { "SAR",     T::Sar       }, { "PIM",     T::Pim       }, { "7Z",      T::SevenZip  }, { "TAR",     T::Tar       },
  { "TAZ",     T::Compress  }, { "UDF_ISO", T::Udf       }, { "VDI",     T::Vdi       }, { "VHD",     T::Vhd       },
  { "WIM",     T::Wim       }, { "XAR",     T::Xar       }, { "XPI",     T::Xpi       }, { "XZ",      T::Xz        },
  { "ZIP",     T::Zip       }, { "ZLIB",    T::Zlib      },
};

// Indexed by the ArchiveType value.
const std::vector<ArchiveRecordRow> kArchiveRecordRows = {
  // type              identifier   MIME type                                           extensions
  { T::None,           "data",      "application/octet-stream",                         ""                 },
  { T::Zip,            "ZIP",       "application/zip",                                  "zip,zipx"         },
  { T::PkliteExe,      "EXE",       "application/x-compressed",                         "exe,sfx"          },
  { T::SevenZip,       "7Z",        "application/x-7z-compressed",                      "7z"               },
  { T::WinZipSfx,      "EXE",       "application/octet-stream",                         "exe,sfx"          },
  { T::Jar,            "JAR",       "application/java-archive",                         "jar"              },
  { T::Jarcs,          "JAR",       "application/java-archive",                         "jar,jarcs"        },
  { T::Rar,            "RAR",       "application/vnd.rar",                              "rar,rev,r00,r01"  },
  { T::Tar,            "TAR",       "application/x-tar",                                "tar"              },
  { T::Compress,       "TAZ",       "application/x-taz",                                "taz,tz"           },
  { T::Iso,            "ISO",       "application/x-iso9660-image",                      "iso,img,bin,mdf"  },
  { T::Udf,            "UDF_ISO",   "application/octet-stream",                         "udf,iso,bin,mdf"  },
  { T::BootImage,      "IMG",       "application/octet-stream",                         "img"              },
  { T::Gzip,           "GZ",        "application/gzip",                                 "gz,tgz"           },
  { T::Cab,            "CAB",       "application/vnd.ms-cab-compressed",                "cab"              },
  { T::Arc,            "ARC",       "application/octet-stream",                         "arc,ark,sue"      },
  { T::Arj,            "ARJ",       "application/octet-stream",                         "arj"              },
  { T::Lha,            "LHA",       "application/x-lzh-compressed",                     "lha,lzh"          },
  { T::Lzh,            "LZH",       "application/x-lzh-compressed",                     "lha,lzh"          },
  { T::Rpm,            "RPM",       "application/x-rpm",                                "rpm"              },
  { T::Deb,            "DEB",       "application/vnd.debian.binary-package",            "deb,udeb"         },
  { T::Lzma,           "LZMA",      "application/x-lzma",                               "lzma"             },
  { T::Wim,            "WIM",       "application/x-wim",                                "wim,swm,esd"      },
  { T::Xz,             "XZ",        "application/x-xz",                                 "xz"               },
  { T::Cpio,           "CPIO",      "application/x-cpio",                               "cpio"             },
  { T::Chm,            "CHM",       "application/vnd.ms-htmlhelp",                      "chm"              },
  { T::Apk,            "APK",       "application/vnd.android.package-archive",          "apk,xapk"         },
  { T::Xar,            "XAR",       "application/x-xar",                                "xar"              },
  { T::Xpi,            "XPI",       "application/x-xpinstall",                          "zip,xpi,jar"      },
  { T::Cdr,            "CDR",       "application/x-vnd.corel.zcf.draw.document+zip",    "cdr"              },
  { T::Dmg,            "DMG",       "application/x-apple-diskimage",                    "dmg"              },
  { T::Bzip2,          "BZ2",       "application/x-bzip2",                              "BZ2"              },
  { T::Mbr,            "MBR",       "application/octet-stream",                         "mbr,fat,ntfs"     },
  { T::Hfs,            "HFS",       "application/octet-stream",                         "hfs"              },
  { T::Zlib,           "ZLIB",      "application/zlib",                                 ""                 },
  { T::Vdi,            "VDI",       "application/x-virtualbox-vdi",                     "vdi"              },
  { T::Vhd,            "VHD",       "application/octet-stream",                         "vhd"              },
  { T::RawCd,          "BIN/MDF",   "application/octet-stream",                         "bin,mdf,img"      },
  { T::PeCandidate,    "data",      "application/octet-stream",                         ""                 },
  { T::ExeSfx,         "EXE_SFX",   "application/vnd.microsoft.portable-executable",    "exe"              },
  { T::Sar,            "SAR",       "application/sapcar",                               "sar"              },
  { T::RarVolume,      "SPLIT_ARC", "application/vnd.rar",                              ""                 },
  { T::Pim,            "PIM",       "application/pim",                                  "pim"              },
  { T::PimCandidate,   "data",      "application/octet-stream",                         ""                 },
  { T::Pim2Candidate,  "data",      "application/octet-stream",                         ""                 },
};
// clang-format on

}  // namespace kpl
