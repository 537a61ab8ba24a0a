#include "web/form_engine.h"

#include <gtest/gtest.h>

#include "tests/test_util.h"
#include "web/request_rules.h"

using namespace qx;

TEST(FormEngine, LinkAndButtonLookupRules) {
  const HtmlPage page = HtmlPage::Parse(
      U8(u8"<a id=one href='/1'>first</a><a href='/2' title='t2'>second</a>"
         u8"<a href='/3' class='c3'>third</a><a href='javascript:void(0)'>js</a><a>none</a>"
         u8"<button name=b1>b</button><input type=text name=t><input type=SUBMIT name=s1 id=i1>"
         u8"<input type=reset title=r1><input name=x type=image>"));
  auto linkHref = [&](std::string_view l) {
    const int i = page.FindLink(l);
    return i < 0 ? Text("-") : *page.elements()[static_cast<size_t>(i)].Attribute("href");
  };
  EXPECT_EQ(linkHref("one"), "/1");     // id
  EXPECT_EQ(linkHref("t2"), "/2");      // title
  EXPECT_EQ(linkHref("third"), "/3");   // text
  EXPECT_EQ(linkHref("c3"), "/3");      // class
  EXPECT_EQ(linkHref("/2"), "/2");      // href as written
  EXPECT_EQ(linkHref("2"), "/2");       // count
  EXPECT_EQ(linkHref("nothing"), "-");  // not a number: 0, never a count
  EXPECT_EQ(linkHref("9"), "-");
  // A count taken earlier ends the search before a later text match.
  const HtmlPage counted = HtmlPage::Parse("<a href='/a'>x</a><a href='/b'>1</a>");
  EXPECT_EQ(counted.FindLink("1"), 0);
  // A javascript: link and a link without href are found but open nothing.
  EXPECT_EQ(page.Press(page.FindLink("js"), "http://h/").kind, PageAction::Nothing);
  EXPECT_EQ(page.Press(page.FindLink("5"), "http://h/").kind, PageAction::Nothing);
  // An index past the last element presses and changes nothing.
  const int past = static_cast<int>(page.elements().size());
  EXPECT_EQ(page.Press(past, "http://h/").kind, PageAction::Nothing);
  EXPECT_EQ(page.Press(-1, "http://h/").kind, PageAction::Nothing);
  HtmlPage changed = page;
  changed.SetAttribute(past, "id", "x");
  changed.SetAttribute(-1, "id", "x");
  EXPECT_EQ(changed.FindLink("x"), -1);

  auto buttonName = [&](std::string_view l) {
    const int i = page.FindButton(l);
    return i < 0 ? Text("-")
                 : page.elements()[static_cast<size_t>(i)].tag + ":" +
                       (page.elements()[static_cast<size_t>(i)].Attribute("name")
                            ? *page.elements()[static_cast<size_t>(i)].Attribute("name")
                            : Text());
  };
  // Inputs of the types first (the text input and the image are no
  // candidates), then the button elements, whatever the document order.
  EXPECT_EQ(buttonName("1"), "input:s1");
  EXPECT_EQ(buttonName("2"), "input:");  // the reset input
  EXPECT_EQ(buttonName("3"), "button:b1");
  EXPECT_EQ(buttonName("i1"), "input:s1");  // id
  EXPECT_EQ(buttonName("r1"), "input:");    // title
  EXPECT_EQ(buttonName("b1"), "button:b1");
  EXPECT_EQ(buttonName("t"), "-");
  EXPECT_EQ(buttonName("4"), "-");
}

TEST(FormEngine, SubmissionAsABrowserSendsIt) {
  const HtmlPage page = HtmlPage::Parse(
      U8(u8"<form id=f action='save?old=1#top' method=POST>"
         u8"<input name=a value='x y'><input type=checkbox name=c1 value=v checked>"
         u8"<input type=checkbox name=c2><input type=radio name=r value=1>"
         u8"<input type=radio name=r value=2 checked><input type=checkbox name=c3 checked>"
         u8"<input name=off value=1 disabled><fieldset disabled><input name=off2></fieldset>"
         u8"<p disabled><input name=p value=1></p>"
         u8"<select name=s><option>one</option><option value=2 selected>two</option></select>"
         u8"<select name=s2><option disabled>no</option><option>  first   shown </option></select>"
         u8"<textarea name=t>\nline1\nline2</textarea><input name=e>"
         u8"<input type=submit name=other value=o><button name=go value=\u63d0\u4ea4>Go</button>"
         u8"<button type=button name=plain>p</button><input type=file name=up></form>"
         u8"<input form=f name=outside value=1>"
         u8"<form action='javascript:go()'><input type=submit id=js></form>"
         u8"<form action='/find'><input name=q value='a&b'><input type=image name=pic></form>"
         u8"<input type=submit id=lonely>"));
  const Text base = "http://h:81/dir/page.html?id=3";
  auto press = [&](std::string_view locator) { return page.Press(page.FindButton(locator), base); };

  PageAction go = press("go");
  ASSERT_EQ(go.kind, PageAction::Submit);
  EXPECT_TRUE(go.post);
  EXPECT_EQ(go.url, "http://h:81/dir/save?old=1");
  // The textarea's first line break is the parser's; the rest go as CR LF.
  EXPECT_EQ(
      go.body,
      "a=x+y&c1=v&r=2&c3=on&p=1&s=2&s2=first+shown&t=line1%0D%0Aline2&e=&go=%E6%8F%90%E4%BA%A4&"
      "up=&outside=1");

  EXPECT_EQ(press("plain").kind, PageAction::Nothing);   // type=button submits nothing
  EXPECT_EQ(press("js").kind, PageAction::Nothing);      // javascript: action
  EXPECT_EQ(press("lonely").kind, PageAction::Nothing);  // no form
  // A GET form: the data replaces the action's query; an image button sends
  // its click point.
  const HtmlPage get = HtmlPage::Parse(
      "<form action='/find?x=1'><input name=q value='a&amp;b'><input name=n "
      "value='1&#13;&#10;2&#13;3'>"
      "<input type=image name=pic><button>b</button></form>");
  PageAction search = get.Press(get.FindButton("1"), base);  // the button element
  EXPECT_FALSE(search.post);
  EXPECT_EQ(search.url, "http://h:81/find?q=a%26b&n=1%0D%0A2%0D%0A3");  // CR LF and CR alike
  // A form without action submits to the page's own address.
  const HtmlPage self =
      HtmlPage::Parse("<form method=post><button name=b value=1></button></form>");
  EXPECT_EQ(self.Press(self.FindButton("b"), base).url, base);
}

TEST(FormEngine, UrlsRedirectsAndSavedPages) {
  const Text base = "http://h:8//user/cloudManage/manage.html?menu=outstart&id=7#x";
  struct Case {
    const char* ref;
    const char* out;
  };
  const Case cases[] = {
      {"change.html?id=7", "http://h:8//user/cloudManage/change.html?id=7"},
      {"../a/./b", "http://h:8//user/a/b"},
      {"/panel/login", "http://h:8/panel/login"},
      {"//other:9/p", "http://other:9/p"},
      {"?q=1", "http://h:8//user/cloudManage/manage.html?q=1"},
      {"", "http://h:8//user/cloudManage/manage.html?menu=outstart&id=7"},
      {"#top", "http://h:8//user/cloudManage/manage.html?menu=outstart&id=7#top"},
      {"HTTPS://Secure/x", "https://Secure/x"},
      {" \\p\\q r\n", "http://h:8/p/q%20r"},
      {" x ", "http://h:8//user/cloudManage/x"},
      {"\xE4\xB8\xAD", "http://h:8//user/cloudManage/%E4%B8%AD"},
      {"javascript:;", "javascript:;"},
      {"svn+ssh://h/p", "svn+ssh://h/p"},
      {"a/..", "http://h:8//user/cloudManage/"},
      {"x:../a", "x:a"},
  };
  for (const Case& c : cases) EXPECT_EQ(ResolveUrl(base, c.ref), c.out) << c.ref;
  EXPECT_EQ(ResolveUrl("http://h:8", "a"), "http://h:8/a");

  const PageRequest post{"http://h/panel/login", true, "a=1"};
  auto next = RedirectRequest(post, "HTTP/1.1 302 Found\r\nLocation: home?k=1\r\n\r\n");
  ASSERT_TRUE(next);
  EXPECT_EQ(next->url, "http://h/panel/home?k=1");
  EXPECT_FALSE(next->post);
  EXPECT_EQ(next->body, "");
  next = RedirectRequest(post, "HTTP/1.1 307 Temporary Redirect\r\nlocation: /x\r\n\r\n");
  ASSERT_TRUE(next);
  EXPECT_EQ(next->url, "http://h/x");
  EXPECT_TRUE(next->post);
  EXPECT_EQ(next->body, "a=1");
  // The form's body goes to no other origin: scheme, host and port.
  for (const char* elsewhere : {"https://h/x", "http://h:81/x", "http://o/x", "//h.evil/x"}) {
    next = RedirectRequest(post, "HTTP/1.1 308 R\r\nLocation: " + Text(elsewhere) + "\r\n\r\n");
    ASSERT_TRUE(next) << elsewhere;
    EXPECT_EQ(next->url, "") << elsewhere;
    EXPECT_EQ(next->body, "") << elsewhere;
  }
  EXPECT_TRUE(BodyMayFollowRedirect("http://H:80/a", "http://h/b"));
  for (const char* status : {"301", "302", "303", "308"})
    EXPECT_TRUE(RedirectRequest(post, "HTTP/1.1 " + Text(status) + " R\r\nLocation: /x\r\n\r\n"))
        << status;
  EXPECT_FALSE(RedirectRequest(post, "HTTP/1.1 200 OK\r\nLocation: /x\r\n\r\n"));
  EXPECT_FALSE(RedirectRequest(post, "HTTP/1.1 302 Found\r\n\r\n")) << "no Location";
  EXPECT_FALSE(RedirectRequest(post, "HTTP/1.1 302 Found\r\nLocation:  \r\n\r\n"));
  EXPECT_FALSE(RedirectRequest(post, "HTTP/1.1 302 Found\r\nLocation: file:///c:/x\r\n\r\n"));
  EXPECT_FALSE(RedirectRequest(post, ""));
  EXPECT_EQ(ResponseStatus("HTTP/1.0 404 Not Found\r\n"), 404);
  EXPECT_EQ(ResponseStatus("HTTP/1.0 30 Short\r\n"), 0);

  const Text tag = "<base href=\"http://h/a?b=1&amp;c=&quot;\">";
  EXPECT_EQ(PageWithBase("<html><HEAD lang=x><title>t</title>", "http://h/a?b=1&c=\""),
            "<html><HEAD lang=x>" + tag + "<title>t</title>");
  EXPECT_EQ(PageWithBase("<!DOCTYPE html><html><header></header>", "http://h/a?b=1&c=\""),
            "<!DOCTYPE html><html>" + tag + "<header></header>");
  EXPECT_EQ(PageWithBase("<p>bare</p>", "http://h/a?b=1&c=\""), tag + "<p>bare</p>");
  EXPECT_TRUE(IsWebUrl("HTTPS://x"));
  EXPECT_FALSE(IsWebUrl("file:///C:/x"));
}
