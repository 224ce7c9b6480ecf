#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>

// The resident set of this process, in kB, from /proc/self/status: now and at its peak.
struct ResidentSet
{
    long nowKb = 0;  // VmRSS
    long peakKb = 0; // VmHWM

    static ResidentSet read()
    {
        ResidentSet rss;
        if (FILE* status = std::fopen("/proc/self/status", "r")) {
            char line[256];
            while (std::fgets(line, sizeof line, status)) {
                if (std::strncmp(line, "VmRSS:", 6) == 0)
                    rss.nowKb = std::atol(line + 6);
                else if (std::strncmp(line, "VmHWM:", 6) == 0)
                    rss.peakKb = std::atol(line + 6);
            }
            std::fclose(status);
        }
        return rss;
    }

    // Starts the peak afresh from the present resident set (Linux: clear_refs 5).
    static void restartPeak()
    {
        if (FILE* refs = std::fopen("/proc/self/clear_refs", "w")) {
            std::fputs("5", refs);
            std::fclose(refs);
        }
    }

    // The line the memory benchmark reads back: peak, now, and the peak over the whole run.
    void print(long lifetimePeakKb) const
    {
        std::printf("%ld %ld %ld\n", peakKb, nowKb, lifetimePeakKb);
    }
};
