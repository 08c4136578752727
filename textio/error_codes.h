// The codes a failure stores in IoError, and so the exit statuses a user
// sees. Platform failures use the Win32 numbers of their conditions on every
// platform; 103 to 105 are the stream layer's own.
#ifndef MBOXCLEAN_TEXTIO_ERROR_CODES_H_
#define MBOXCLEAN_TEXTIO_ERROR_CODES_H_

namespace mboxclean::error_code {

inline constexpr int kFileNotFound = 2;
inline constexpr int kPathNotFound = 3;
inline constexpr int kTooManyOpenFiles = 4;
inline constexpr int kAccessDenied = 5;
inline constexpr int kInvalidHandle = 6;
inline constexpr int kWriteFault = 29;
inline constexpr int kReadFault = 30;
inline constexpr int kGeneralFailure = 31;
inline constexpr int kSharingViolation = 32;
inline constexpr int kInvalidParameter = 87;
inline constexpr int kDiskFull = 112;
inline constexpr int kPathTooLong = 206;
inline constexpr int kFileTooLarge = 223;
inline constexpr int kBrokenPipe = 232;

inline constexpr int kStreamNotOpen = 103;     // Close or EndStatement on a closed stream
inline constexpr int kNotOpenForInput = 104;   // reading a stream not open for input
inline constexpr int kNotOpenForOutput = 105;  // writing a stream not open for output,
                                               // or a handle of no usable kind
inline constexpr int kOutOfMemory = 203;

}  // namespace mboxclean::error_code

#endif  // MBOXCLEAN_TEXTIO_ERROR_CODES_H_
