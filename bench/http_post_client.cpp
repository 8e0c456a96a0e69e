// One POST of a file's bytes through HttpRequest, for bench/http_post.sh: the script times the
// whole process and reads its peak memory. Prints the status and the reply on stdout.
// Usage: http_post_client URL FILE
#include <cstdio>

#include "http/http_request.h"
#include "text/text.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s URL FILE\n", argv[0]);
    return 2;
  }
  quorvel::HttpRequestArgs args;
  args.url = argv[1];
  args.method = quorvel::kHttpPost;
  args.headers = "Content-Type: application/octet-stream";
  args.bodyBytes = quorvel::ReadFileBytes(argv[2]);
  if (args.bodyBytes.empty()) {
    std::fprintf(stderr, "cannot read %s\n", argv[2]);
    return 2;
  }
  const quorvel::ByteArray reply = quorvel::HttpRequest(args);
  std::printf("%d %s\n", args.statusCode, quorvel::BytesToText(reply).c_str());
  return args.statusCode == 200 ? 0 : 1;
}
