#include "support/order_mail.h"

#include "base/sjisliteral.h"

namespace testing_support {

std::string OrderMail(const std::string& orderedAt, const std::string& code) {
  return "From: order@example.com\r\nSubject: order\r\nMessage-ID: <" + code + "-" + orderedAt.substr(11, 2) +
         "@mall.example>\r\nMIME-Version: 1.0\r\n"
         "Content-Type: text/plain; charset=Shift_JIS\r\nContent-Transfer-Encoding: 8bit\r\n\r\n" +
         Sjis("■ ショップ名 ： 桜商店\r\n"
              "[日時]     " + orderedAt + "\r\n"
              "[注文者] 山田 太郎 様\r\n"
              "〒100-0001 東京都千代田区千代田1-1\r\n"
              "(TEL) 03-1234-5678\r\n"
              "[商品]\r\n"
              "桜のマグカップ (" + code + ")\r\n"
              "価格  1,200(円) x 2(個) = 2,400(円)\r\n"
              "**********\r\n");
}

}  // namespace testing_support
