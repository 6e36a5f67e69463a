// The file a command reads, as the user named it: a path, "-", a pipe, a FIFO or a device.
#pragma once

#include <string>

#include "host/brisko/Exception.h"
#include "host/brisko/ReplacementFile.h"

namespace dornel::app {

/// The plug-in reads files with a length that it may open more than once. A stream ("-",
/// /dev/stdin, a FIFO, a process substitution, a terminal, a device) is read to its end into a
/// file of the same name in a private temporary folder (brisko::ScratchFolder: under TMPDIR, else
/// /tmp), which is removed when this object goes, on SIGINT, SIGTERM and SIGHUP, and after a
/// kill -9 by the next spool in the same temporary folder. A device that gives binary data
/// (/dev/zero, /dev/urandom) never ends: it is refused once its first block is seen. A regular
/// file, a directory or a missing path is passed on as it is, for the plug-in to judge.
class InputFile {
  public:
    /// Spools a stream; throws std::runtime_error naming the input when it cannot be read.
    explicit InputFile(const std::string& given);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    /// The path to give the plug-in.
    const std::string& Path() const { return path_; }
    bool Spooled() const { return spool_.Made(); }
    /// text with the spooled file's path replaced by the input as the user gave it.
    std::string Describe(std::string text) const;
    /// The plug-in's error about this input, naming the input as the user gave it.
    brisko::Exception Renamed(const brisko::Exception& error) const;

  private:
    void Spool(int fd, bool isDevice);
    void Remove() noexcept;

    std::string given_;
    std::string path_;
    brisko::ScratchFolder spool_;
};

}  // namespace dornel::app
