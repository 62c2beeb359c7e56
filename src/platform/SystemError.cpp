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

std::string WriteErrorText(int err) {
  switch (err) {
    case ENOENT:
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ENOTDIR:
    case ENAMETOOLONG: return ErrorText(err) + "，请换一个文件夹或文件名";
    case ENOSPC:
    case EDQUOT: return ErrorText(err) + "，请腾出磁盘空间，或换一个磁盘";
    case ETXTBSY:
    case EBUSY: return ErrorText(err) + "，请关闭正在使用它的程序，或换一个文件名";
    default: return ErrorText(err);
  }
}

}  // namespace rowcaster
