<?php
defined('BASEPATH') OR exit('No direct script access allowed');

// Account pages, English.
$lang['account_title'] = 'My account';
$lang["account_email"] = "E-mail address";
$lang['account_password'] = 'Password';
$lang['account_help'] = 'Forgot your password? ';
$lang['account_help'] .= 'We will send you a new one.';
$lang['js']['confirm_delete'] = 'Really delete your account?';
$lang['js']['saved'] = 'Saved.';
$lang['Don\'t have an account?'] = 'Don\'t have an account?';
$lang['path\\sep'] = 'Folders are separated by \\';
$lang['account_rows'] = '%d rows';
