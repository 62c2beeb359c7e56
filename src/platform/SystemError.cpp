#include "platform/SystemError.h"

#include <cerrno>
#include <cstring>

namespace rowcaster {

std::string ErrorText(int err) {
  switch (err) {
    case ENOENT: return "文件或文件夹不存在";
    case EACCES:
    case EPERM: return "没有访问权限";
    case ENOSPC:
    case EDQUOT: return "磁盘已满";
    case EROFS: return "磁盘或文件夹只读";
    case EISDIR: return "这是一个文件夹，不是文件";
    case ENOTDIR: return "路径中有一段不是文件夹";
    case EFBIG: return "文件太大";
    case ENAMETOOLONG: return "路径太长";
    case ETXTBSY:
    case EBUSY: return "文件正被使用";
    case EIO: return "读写设备出错";
    case EMFILE:
    case ENFILE: return "打开的文件太多";
    case ENOMEM: return "内存不足";
    default: return std::strerror(err);
  }
}

}  // namespace rowcaster
