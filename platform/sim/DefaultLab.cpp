// The built-in lab. This JSON text is its only description; every default-lab drive, volume
// and machine fact comes from here, through the same parser as lab files.
#include "platform/sim/SimLab.h"

namespace vellumin::platform::sim {

namespace {

constexpr const char* kDefaultLab = R"lab(
{
  "note": "Built-in lab: every SMART controller family, every erase gate, boot/bad-sector/big/filtered drives.",
  "smartTables": {
    "sm2246": [
      {"id": 1, "flags": 11, "current": 100, "worst": 100, "raw": 0},
      {"id": 5, "flags": 19, "current": 100, "worst": 100, "raw": 0},
      {"id": 9, "flags": 50, "current": 100, "worst": 100, "raw": 3211},
      {"id": 12, "flags": 50, "current": 100, "worst": 100, "raw": 588},
      {"id": 160, "flags": 50, "current": 100, "worst": 100, "raw": 0},
      {"id": 161, "flags": 50, "current": 100, "worst": 100, "raw": 100},
      {"id": 163, "flags": 50, "current": 100, "worst": 100, "raw": 9},
      {"id": 164, "flags": 50, "current": 100, "worst": 100, "raw": 19340},
      {"id": 165, "flags": 50, "current": 100, "worst": 100, "raw": 97},
      {"id": 166, "flags": 50, "current": 100, "worst": 100, "raw": 18},
      {"id": 167, "flags": 50, "current": 100, "worst": 100, "raw": 52},
      {"id": 168, "flags": 50, "current": 100, "worst": 100, "raw": 3000},
      {"id": 192, "flags": 50, "current": 100, "worst": 100, "raw": 31},
      {"id": 194, "flags": 34, "current": 100, "worst": 100, "raw": 249109544995},
      {"id": 241, "flags": 50, "current": 100, "worst": 100, "raw": 1210833},
      {"id": 242, "flags": 50, "current": 100, "worst": 100, "raw": 1873300}
    ],
    "smi": [
      {"id": 1, "flags": 11, "current": 100, "worst": 100, "raw": 0},
      {"id": 5, "flags": 19, "current": 100, "worst": 100, "raw": 0},
      {"id": 9, "flags": 50, "current": 100, "worst": 100, "raw": 1873},
      {"id": 160, "flags": 50, "current": 100, "worst": 100, "raw": 0},
      {"id": 161, "flags": 18, "current": 100, "worst": 100, "raw": 100},
      {"id": 163, "flags": 50, "current": 100, "worst": 100, "raw": 11},
      {"id": 164, "flags": 50, "current": 100, "worst": 100, "raw": 41244},
      {"id": 165, "flags": 50, "current": 100, "worst": 100, "raw": 87},
      {"id": 166, "flags": 50, "current": 100, "worst": 100, "raw": 21},
      {"id": 12, "flags": 50, "current": 100, "worst": 100, "raw": 412},
      {"id": 167, "flags": 50, "current": 100, "worst": 100, "raw": 47},
      {"id": 192, "flags": 50, "current": 100, "worst": 100, "raw": 29},
      {"id": 194, "flags": 34, "current": 100, "worst": 100, "raw": 219044642849},
      {"id": 241, "flags": 50, "current": 100, "worst": 100, "raw": 902114},
      {"id": 242, "flags": 50, "current": 100, "worst": 100, "raw": 1404877}
    ],
    "jmf667": [
      {"id": 1, "flags": 11, "current": 100, "worst": 100, "raw": 0},
      {"id": 5, "flags": 19, "current": 100, "worst": 100, "raw": 0},
      {"id": 9, "flags": 50, "current": 100, "worst": 100, "raw": 2645},
      {"id": 12, "flags": 50, "current": 100, "worst": 100, "raw": 733},
      {"id": 168, "flags": 50, "current": 100, "worst": 100, "raw": 0},
      {"id": 170, "flags": 50, "current": 100, "worst": 100, "raw": 4},
      {"id": 173, "flags": 50, "current": 100, "worst": 100, "raw": 128851968012},
      {"id": 175, "flags": 50, "current": 100, "worst": 100, "raw": 0},
      {"id": 192, "flags": 50, "current": 100, "worst": 100, "raw": 40},
      {"id": 194, "flags": 34, "current": 100, "worst": 100, "raw": 266289610789},
      {"id": 197, "flags": 50, "current": 100, "worst": 100, "raw": 0},
      {"id": 240, "flags": 50, "current": 100, "worst": 100, "raw": 0},
      {"id": 241, "flags": 50, "current": 100, "worst": 100, "raw": 998023}
    ],
    "jmf612": [
      {"id": 1, "flags": 11, "current": 100, "worst": 100, "raw": 0},
      {"id": 5, "flags": 19, "current": 100, "worst": 100, "raw": 0},
      {"id": 9, "flags": 50, "current": 100, "worst": 100, "raw": 6120},
      {"id": 12, "flags": 50, "current": 100, "worst": 100, "raw": 1290},
      {"id": 170, "flags": 50, "current": 100, "worst": 100, "raw": 2},
      {"id": 173, "flags": 50, "current": 100, "worst": 100, "raw": 81611587648},
      {"id": 194, "flags": 34, "current": 100, "worst": 100, "raw": 1095218298920},
      {"id": 199, "flags": 50, "current": 100, "worst": 100, "raw": 0}
    ]
  },
  "machine": {
    "os": {
      "windows": true,
      "platformId": 2,
      "major": 6,
      "minor": 1,
      "build": 7601,
      "servicePack": "Service Pack 1",
      "productType": 1,
      "name": "Windows 7",
      "is64Bit": true,
      "serverR2": 0,
      "wmiVersion": "6.1.7601"
    },
    "trimEnabled": true,
    "windowsDirectory": "C:\\Windows",
    "systemDirectory": "C:\\Windows\\system32",
    "firmwareAnswers": [
      {
        "model": "VQ M500 SSD 120GB",
        "firmware": "VQ4.0",
        "reply": "P/N=VQ-M500-120<br>Flash=MLC<br>Controller=JMF667<br>Current FW version=VQ4.1<br>Download Url=http://{service}/fw/VQ41.bin<br>"
      },
      {
        "model": "VQ S210 SSD 64GB",
        "firmware": "S210V12",
        "reply": "P/N=VQ-S210-64<br>Flash=MLC<br>Controller=SMI2242<br>Current FW version=S210V12<br>Download Url=http://{service}/fw/S210V12.bin<br>"
      },
      {
        "model": "VQ V100 SSD 64GB",
        "firmware": "VQ0226",
        "reply": "No firmware information is published for this serial number.<br>"
      }
    ],
    "firmwareFiles": [
      {"path": "/fw/VQ41.bin", "content": "VQ41 firmware image (simulated)\n", "size": 1048576, "bytesPerSecond": 1048576},
      {"path": "/fw/S210V12.bin", "content": "S210V12 firmware image (simulated)\n"}
    ]
  },
  "volumes": [
    {"name": "C", "disk": 0},
    {"name": "D", "disk": 0},
    {"name": "E", "disk": 1},
    {"name": "F", "disk": 9},
    {"name": "G", "disk": 1, "removable": true},
    {"name": "H", "disk": -1}
  ],
  "drives": [
    {
      "slot": 0,
      "note": "boot drive: holds volumes C and D, refused by the erase page",
      "model": "VQ S300 SSD 128GB",
      "serial": "001300214577",
      "firmware": "SV300R02",
      "sectors": 4000000,
      "smart": {
        "controller": "SM2246",
        "attributes": "sm2246"
      }
    },
    {
      "slot": 1,
      "note": "SMI2242: SMI decoder, vendor erase 0xE3/0xE4, both erase buttons",
      "model": "VQ S210 SSD 64GB",
      "serial": "AB1405300981",
      "firmware": "S210V12",
      "sectors": 2000000,
      "smart": {
        "controller": "SMI2242",
        "attributes": "smi",
        "averageErase": 87,
        "maximumErase": 132,
        "minimumErase": 21
      }
    },
    {
      "slot": 2,
      "note": "SMI2235 with outdated firmware J1227: outdated-firmware gate",
      "model": "VQ S200 SSD 60GB",
      "serial": "001011270042",
      "firmware": "J1227",
      "sectors": 2000000,
      "smart": {
        "controller": "SMI2235",
        "attributes": "smi",
        "averageErase": 65536,
        "maximumErase": 70011,
        "minimumErase": 64001
      }
    },
    {
      "slot": 3,
      "note": "JMF667: JMF667 decoder; security erase mode, security supported and disabled, enhanced erase and erase times reported",
      "model": "VQ M500 SSD 120GB",
      "serial": "3400A2210057",
      "firmware": "VQ4.0",
      "sectors": 2000000,
      "smart": {
        "controller": "JMF667",
        "attributes": "jmf667"
      },
      "security": {"enhancedErase": true, "eraseTime": 2, "enhancedEraseTime": 4}
    },
    {
      "slot": 4,
      "note": "JMF612: JMF612 decoder, vendor erase 0xE3/0xE0; security enabled, not locked (status 0x03): security-enabled gate",
      "model": "VQ V100 SSD 64GB",
      "serial": "0012A0318844",
      "firmware": "VQ0226",
      "sectors": 1000000,
      "smart": {
        "controller": "JMF612",
        "attributes": "jmf612"
      },
      "security": {"userPassword": "owner-set-password", "startUnlocked": true}
    },
    {
      "slot": 5,
      "note": "JMF616: JMF612 decoder; security enabled and locked (status 0x07): locked gate",
      "model": "VQ V120 SSD 128GB",
      "serial": "0012A1114930",
      "firmware": "VQ0412",
      "sectors": 1000000,
      "smart": {
        "controller": "JMF616",
        "attributes": "jmf612"
      },
      "security": {"userPassword": "owner-set-password"}
    },
    {
      "slot": 6,
      "note": "no controller name, older firmware 101202B: JMF612 decoder by revision; security erase mode, frozen (status 0x09) until power cycle",
      "model": "VQ V80 SSD 32GB",
      "serial": "1012028814",
      "firmware": "101202B",
      "sectors": 1000000,
      "smart": {
        "attributes": "jmf612"
      },
      "security": {"startFrozen": true}
    },
    {
      "slot": 7,
      "note": "old firmware V0826, unknown controller: SMART not-supported message; security feature set not supported",
      "model": "VQ V60 SSD 30GB",
      "serial": "0826A11300",
      "firmware": "V0826",
      "sectors": 1000000,
      "smart": {
        "controller": "VX1000",
        "attributes": [
          {"id": 9, "flags": 50, "current": 100, "worst": 100, "raw": 900},
          {"id": 12, "flags": 50, "current": 100, "worst": 100, "raw": 210}
        ]
      },
      "security": {"supported": false}
    },
    {
      "slot": 8,
      "note": "model series KM5508 on SM2246: model-series decoder replaces the SM2246 rows, scan refused; security locked and attempt counter expired (status 0x17)",
      "model": "VQ KM5508 SSD 256GB",
      "serial": "VQ1808KM550800417741",
      "firmware": "KM08A01",
      "sectors": 2000000,
      "smart": {
        "controller": "SM2246",
        "attributes": [
          {"id": 5, "flags": 51, "current": 100, "worst": 100, "raw": 0},
          {"id": 9, "flags": 50, "current": 100, "worst": 100, "raw": 4410},
          {"id": 12, "flags": 50, "current": 100, "worst": 100, "raw": 42949672960920},
          {"id": 171, "flags": 50, "current": 100, "worst": 100, "raw": 0},
          {"id": 172, "flags": 50, "current": 100, "worst": 100, "raw": 0},
          {"id": 174, "flags": 50, "current": 100, "worst": 100, "raw": 37},
          {"id": 175, "flags": 50, "current": 100, "worst": 100, "raw": 0},
          {"id": 177, "flags": 50, "current": 100, "worst": 100, "raw": 5},
          {"id": 194, "flags": 34, "current": 100, "worst": 100, "raw": 3276838},
          {"id": 231, "flags": 50, "current": 100, "worst": 100, "raw": 97},
          {"id": 241, "flags": 50, "current": 100, "worst": 100, "raw": 2211459},
          {"id": 242, "flags": 50, "current": 100, "worst": 100, "raw": 3870112}
        ]
      },
      "security": {"userPassword": "forgotten password", "startExpired": true}
    },
    {
      "slot": 9,
      "note": "unreadable sector mid-drive: LBA 1,000,000 uncorrectable (error 0x40); holds volume F",
      "model": "VQ S300 SSD 240GB",
      "serial": "001304117213",
      "firmware": "SV300R02",
      "sectors": 2000000,
      "smart": {
        "controller": "SM2246",
        "attributes": "sm2246"
      },
      "faults": [{"lba": 1000000, "count": 1, "error": "0x40"}]
    },
    {
      "slot": 10,
      "note": "big drive: 300,000,000 sectors, beyond the 28-bit LBA reach of READ DMA",
      "model": "VQ M550 SSD 160GB",
      "serial": "3400A5520008",
      "firmware": "VQ4.1",
      "sectors": 300000000,
      "smart": {
        "controller": "JMF667",
        "attributes": "jmf667"
      }
    },
    {
      "slot": 11,
      "note": "other maker's solid-state drive (model does not start with VQ): filtered out",
      "model": "XT2000 SATA SSD 128GB",
      "serial": "XT20001288319",
      "firmware": "1.02",
      "sectors": 1000000,
      "smart": {
        "controller": "SM2246",
        "attributes": "sm2246"
      }
    },
    {
      "slot": 12,
      "note": "rotating drive (word 217 = 7200): filtered out",
      "model": "VQ H1000 HDD 1TB",
      "serial": "WX11A0312277",
      "firmware": "HD01",
      "sectors": 1000000,
      "smart": {
        "attributes": [
          {"id": 9, "flags": 50, "current": 100, "worst": 100, "raw": 12033},
          {"id": 12, "flags": 50, "current": 100, "worst": 100, "raw": 3310}
        ]
      },
      "rotationRate": 7200
    },
    {
      "slot": 13,
      "note": "controller SMI2242 padded with a blank: SMI decoder, but not a listed erase controller, so security erase mode; locked by a foreign user password (status 0x07)",
      "model": "VQ S220 SSD 120GB",
      "serial": "AB1407220513",
      "firmware": "S220V03",
      "sectors": 1000000,
      "smart": {
        "controller": "SMI2242 ",
        "attributes": "smi",
        "averageErase": 87,
        "maximumErase": 132,
        "minimumErase": 21
      },
      "security": {"userPassword": "someone else"}
    },
    {
      "slot": 14,
      "note": "security erase mode, left enabled and locked with the program's own erase password by an interrupted erase (status 0x07): UNLOCK, DISABLE PASSWORD, then the erase",
      "model": "VQ M510 SSD 60GB",
      "serial": "3400A1520771",
      "firmware": "VQ3.9",
      "sectors": 1000000,
      "smart": {
        "controller": "JMF667",
        "attributes": "jmf667"
      },
      "security": {"userPasswordHex": "56656c6c756d696e2d65726173652d6b65792d32303236005ca713e9428b6df0"}
    },
    {
      "slot": 15,
      "note": "held exclusively by another program: open fails, so discovery never sees it",
      "model": "VQ S300 SSD 64GB",
      "serial": "001302228361",
      "firmware": "SV300R02",
      "sectors": 1000000,
      "smart": {
        "controller": "SM2246",
        "attributes": "sm2246"
      },
      "transport": {"openFails": true}
    }
  ]
}
)lab";

}  // namespace

const std::string& DefaultLabJson() {
    static const std::string text = kDefaultLab;
    return text;
}

LabDescription DefaultLab() { return ParseLab(DefaultLabJson(), "<default lab>"); }

}  // namespace vellumin::platform::sim
