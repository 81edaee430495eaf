<?php
// Newsletter texts, English. Saved on Windows: every line ends in CR LF, the texts that run over
// several lines too.
define('NEWS_SUBSCRIBE', 'Subscribe');
define('NEWS_INTRO', 'Our newsletter comes once a month.
No spam, we promise.');
define("NEWS_CONFIRM", "Thank you!
Please confirm your address:
click the link in the mail.");
define('NEWS_FOOTER', 'To unsubscribe, '
    . 'click the link below.');
define("NEWS_ESCAPED", "Line one\r\nLine two");
define('NEWS_LAST', 'Unsubscribe');
?>
