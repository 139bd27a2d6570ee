#pragma once
// Host applications known by name, found by substring in the host's identifier.

enum EHost {
    kHostUninit = -1,
    kHostUnknown = 0,
    kHostReaper,
    kHostProTools,
    kHostCubase,
    kHostNuendo,
    kHostSonar,
    kHostVegas,
    kHostFL,
    kHostSamplitude,
    kHostAbletonLive,
    kHostTracktion,
    kHostNTracks,
    kHostMelodyneStudio,
    kHostVSTScanner,
    kHostAULab,
    kHostForte,
    kHostChainer,
    kHostAudition,
    kHostOrion,
    kHostBias,
    kHostSAWStudio,
    kHostLogic,
    kHostGarageBand,
    kHostDigitalPerformer,
    kHostStandalone,
    kHostAudioMulch,
    kHostStudioOne,
    kHostVST3TestHost,
    kHostArdour,
};

// Lower-cases at most 255 characters of name and answers the first known host whose
// substring it contains, or kHostUnknown.
EHost LookUpHost(const char* name);

// Writes the display name (at most 17 characters and the terminator) into out.
void GetHostNameStr(EHost host, char* out);
