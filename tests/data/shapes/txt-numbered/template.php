<?php
// Version: 2.0; Index

global $scripturl;

$txt['lang_locale'] = 'en_US';
$txt['lang_dictionary'] = 'en';
$txt[17] = 'Post';
$txt[18] = 'Replies';
$txt[19] = 'Members';
$txt[20] = 'Topics';
$txt[21] = 'Posted by';
$txt[22] = 'Last post';
$txt[33] = 'Start new topic';
$txt[34] = 'Login';
$txt[35] = 'Username';
$txt['newest_member'] = ', our newest member.';
$txt['welcome_guest'] = 'Welcome, <strong>Guest</strong>. ';
$txt['welcome_guest'] .= 'Please <a href="%1$s">login</a> or <a href="%2$s">register</a>.';
$txt['hello_member'] = 'Hey,';
